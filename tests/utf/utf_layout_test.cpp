#include "utf/utf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "tests/utf/test_trees.h"

namespace cmp {

namespace {

std::vector<std::uint32_t> Words(const Bytes& bytes, std::size_t from, std::size_t count) {
    std::vector<std::uint32_t> words;
    for (std::size_t i = 0; i < count; ++i) {
        words.push_back(LoadU32(bytes.data() + from + 4 * i));
    }
    return words;
}

// The records as the written file holds them, where its header places them.
Bytes NodeBlock(const UtfLayout& layout) {
    const Bytes file = layout.GetFileBytes();
    const auto start = static_cast<std::ptrdiff_t>(LoadU32(&file[UtfNodeBlockOffsetField]));
    const auto size = static_cast<std::ptrdiff_t>(LoadU32(&file[UtfNodeBlockSizeField]));
    return Bytes(file.begin() + start, file.begin() + start + size);
}

// What follows the header, the records and the names.
Bytes DataBlock(const UtfLayout& layout) {
    const Bytes file = layout.GetFileBytes();
    const std::size_t start = 56 + std::size_t{LoadU32(&file[UtfNodeBlockSizeField])} +
                              LoadU32(&file[UtfStringBlockSizeField]);
    return Bytes(file.begin() + static_cast<std::ptrdiff_t>(start), file.end());
}

TEST(UtfLayoutTest, SingleNodeFileIs103Bytes) {
    NodeTree tree;
    tree.InsertNode(NodeHandle(), "T");
    const Bytes file = UtfLayout(tree).GetFileBytes();
    ASSERT_EQ(file.size(), 103u);
    EXPECT_EQ(Words(file, 0, 14), (std::vector<std::uint32_t>{0x20465455, 0x101, 56, 44, 0, 44, 100,
                                                              3, 3, 103, 0, 0, 0, 0}));
    EXPECT_EQ(Words(file, 56, 11),
              (std::vector<std::uint32_t>{0, 1, 0x80, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Bytes(file.begin() + 100, file.end()), (Bytes{0x00, 0x54, 0x00}));
}

TEST(UtfLayoutTest, RecordsFollowTheTreeAndNamesTheRegistry) {
    const Bytes file = UtfLayout(InterleavedTree()).GetFileBytes();
    ASSERT_EQ(file.size(), 244u);
    EXPECT_EQ(Words(file, 0, 14), (std::vector<std::uint32_t>{0x20465455, 0x101, 56, 176, 0, 44,
                                                              232, 9, 9, 241, 0, 0, 0, 0}));
    const std::vector<std::vector<std::uint32_t>> records = {
        {0, 1, 0x10, 0, 44, 0, 0, 0, 0, 0, 0},    // T
        {132, 3, 0x10, 0, 88, 0, 0, 0, 0, 0, 0},  // P
        {0, 7, 0x80, 0, 0, 2, 2, 2, 0, 0, 0},     // R
        {0, 5, 0x80, 0, 2, 1, 1, 1, 0, 0, 0},     // Q
    };
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(Words(file, 56 + 44 * i, 11), records[i]) << "record " << i;
    }
    EXPECT_EQ(Bytes(file.begin() + 232, file.begin() + 241),
              (Bytes{0x00, 0x54, 0x00, 0x50, 0x00, 0x51, 0x00, 0x52, 0x00}));
    EXPECT_EQ(Bytes(file.begin() + 241, file.end()), (Bytes{0x01, 0x02, 0x03}));
}

TEST(UtfLayoutTest, EdgeShapes) {
    struct Case {
        const char* what;
        NodeTree (*build)();
        std::vector<std::vector<std::uint32_t>> records;
        Bytes data;
    };
    const std::vector<Case> cases = {
        {"null and empty payloads give the same record; data offset is the fill so far",
         [] {
             NodeTree tree;
             NodeHandle top = tree.InsertNode(NodeHandle(), "A");
             tree.InsertNode(top, "B");
             Attach(tree, tree.InsertNode(top, "C"), {});
             Attach(tree, tree.InsertNode(top, "D"), {9, 8});
             tree.InsertNode(top, "E");
             return tree;
         },
         {{0, 1, 0x10, 0, 44, 0, 0, 0, 0, 0, 0},
          {88, 3, 0x80, 0, 0, 0, 0, 0, 0, 0, 0},
          {132, 5, 0x80, 0, 0, 0, 0, 0, 0, 0, 0},
          {176, 7, 0x80, 0, 0, 2, 2, 2, 0, 0, 0},
          {0, 9, 0x80, 0, 2, 0, 0, 0, 0, 0, 0}},
         {9, 8}},
        {"copied payloads too: an empty one gives the record of none",
         [] {
             NodeTree tree;
             NodeHandle top = tree.InsertNode(NodeHandle(), "A");
             tree.SetPayload(tree.InsertNode(top, "B"), std::span<const std::uint8_t>());
             const std::array<std::uint8_t, 2> bytes = {9, 8};
             tree.SetPayload(tree.InsertNode(top, "C"), bytes);
             return tree;
         },
         {{0, 1, 0x10, 0, 44, 0, 0, 0, 0, 0, 0},
          {88, 3, 0x80, 0, 0, 0, 0, 0, 0, 0, 0},
          {0, 5, 0x80, 0, 0, 2, 2, 2, 0, 0, 0}},
         {9, 8}},
        {"same names share one offset",
         [] {
             NodeTree tree;
             NodeHandle top = tree.InsertNode(NodeHandle(), "Position");
             tree.InsertNode(top, "X");
             tree.InsertNode(top, "Position");
             return tree;
         },
         {{0, 1, 0x10, 0, 44, 0, 0, 0, 0, 0, 0},
          {88, 10, 0x80, 0, 0, 0, 0, 0, 0, 0, 0},
          {0, 1, 0x80, 0, 0, 0, 0, 0, 0, 0, 0}},
         {}},
        {"a payload on a branch is counted but never copied",
         [] {
             NodeTree tree;
             NodeHandle top = tree.InsertNode(NodeHandle(), "A");
             Attach(tree, top, {7, 7, 7});
             Attach(tree, tree.InsertNode(top, "B"), {5});
             return tree;
         },
         {{0, 1, 0x10, 0, 44, 0, 0, 0, 0, 0, 0}, {0, 3, 0x80, 0, 0, 1, 1, 1, 0, 0, 0}},
         {5, 0, 0, 0}},
        {"every top-level node follows as a sibling of the first",
         [] {
             NodeTree tree;
             NodeHandle first = tree.InsertNode(NodeHandle(), "A");
             tree.InsertNode(first, "B");
             tree.InsertNode(NodeHandle(), "C");
             return tree;
         },
         {{88, 1, 0x10, 0, 44, 0, 0, 0, 0, 0, 0},
          {0, 3, 0x80, 0, 0, 0, 0, 0, 0, 0, 0},
          {0, 5, 0x80, 0, 0, 0, 0, 0, 0, 0, 0}},
         {}},
    };
    for (const Case& c : cases) {
        const NodeTree tree = c.build();
        const UtfLayout layout(tree);
        const Bytes records = NodeBlock(layout);
        ASSERT_EQ(records.size(), 44 * c.records.size()) << c.what;
        for (std::size_t i = 0; i < c.records.size(); ++i) {
            EXPECT_EQ(Words(records, 44 * i, 11), c.records[i]) << c.what << ", record " << i;
        }
        EXPECT_EQ(DataBlock(layout), c.data) << c.what;
    }
}

// The definition of the record order, recursing on first child and next sibling. Only
// for small trees: its depth grows with the sibling chains.
struct RecursiveEmit {
    const NodeTree& tree;
    std::vector<NodeHandle> order;
    std::vector<std::uint32_t> siblingOf;  // by record index; 0 = none
    std::uint32_t Emit(NodeHandle node) {
        const auto index = static_cast<std::uint32_t>(order.size());
        order.push_back(node);
        siblingOf.push_back(0);
        if (NodeHandle child = tree.GetFirstChild(node)) {
            Emit(child);
        }
        if (NodeHandle sibling = tree.GetNextSibling(node)) {
            siblingOf[index] = Emit(sibling);
        }
        return index;
    }
};

// Every leaf's payload, copied or handed over, is in the data block in record order, and
// the payloads on nodes with children are zeros at its end.
TEST(UtfLayoutTest, EveryLeafPayloadIsInTheDataBlock) {
    enum class Leaf { Copied, Vector, OnABranch };
    struct Case {
        const char* what;
        std::vector<Leaf> leaves;
    };
    const Case cases[] = {
        {"copied leaves in a row", {Leaf::Copied, Leaf::Copied, Leaf::Copied}},
        {"a vector between copied leaves", {Leaf::Copied, Leaf::Vector, Leaf::Copied}},
        {"vectors only", {Leaf::Vector, Leaf::Vector}},
        {"a branch's payload between copied leaves", {Leaf::Copied, Leaf::OnABranch, Leaf::Copied}},
    };
    for (const Case& c : cases) {
        NodeTree tree;
        const NodeHandle root = tree.InsertNode(NodeHandle(), "R");
        Bytes expected;
        for (std::size_t i = 0; i < c.leaves.size(); ++i) {
            const std::array<std::uint8_t, 3> bytes = {static_cast<std::uint8_t>(i), 7, 9};
            const NodeHandle node = tree.InsertNode(root, "L");
            if (c.leaves[i] == Leaf::OnABranch) {
                tree.SetPayload(node, std::span<const std::uint8_t>(bytes));
                tree.InsertNode(node, "child");
                continue;
            }
            if (c.leaves[i] == Leaf::Vector) {
                tree.SetPayload(node, Bytes(bytes.begin(), bytes.end()));
            } else {
                tree.SetPayload(node, std::span<const std::uint8_t>(bytes));
            }
            expected.insert(expected.end(), bytes.begin(), bytes.end());
        }
        const UtfLayout layout(tree);
        const std::size_t onBranches =
            static_cast<std::size_t>(std::count(c.leaves.begin(), c.leaves.end(), Leaf::OnABranch));
        expected.insert(expected.end(), 3 * onBranches, 0);
        EXPECT_EQ(DataBlock(layout), expected) << c.what;
    }
}

TEST(UtfLayoutTest, ExplicitStackGivesTheRecursiveOrder) {
    for (std::uint32_t seed = 1; seed <= 50; ++seed) {
        const NodeTree tree = RandomTree(seed, 1 + static_cast<int>(seed * 7 % 120));
        RecursiveEmit expected{tree, {}, {}};
        expected.Emit(tree.GetRoot());
        const UtfLayout layout(tree);
        const Bytes records = NodeBlock(layout);
        ASSERT_EQ(records.size(), 44 * expected.order.size());

        StringTable names;
        for (NodeHandle node : tree.Registry()) {
            names.Add(tree.GetName(node));
        }
        Bytes data;
        for (std::size_t i = 0; i < expected.order.size(); ++i) {
            const NodeHandle node = expected.order[i];
            const std::uint8_t* record = records.data() + 44 * i;
            EXPECT_EQ(LoadU32(record), 44 * expected.siblingOf[i]) << "seed " << seed;
            EXPECT_EQ(LoadU32(record + 4),
                      names.Add(tree.GetName(node)));  // its first offset
            if (tree.GetFirstChild(node)) {
                EXPECT_EQ(LoadU32(record + 16), 44 * (i + 1));
            } else if (const Payload* payload = tree.GetPayload(node)) {
                EXPECT_EQ(LoadU32(record + 16), data.size());
                data.insert(data.end(), payload->bytes.begin(), payload->bytes.end());
            }
        }
        EXPECT_EQ(DataBlock(layout), data) << "seed " << seed;
    }
}

TEST(UtfLayoutTest, WideAndDeepTreesNeedNoDeepStack) {
    constexpr std::uint32_t count = 100000;
    NodeTree wide;
    NodeHandle top = wide.InsertNode(NodeHandle(), "top");
    for (std::uint32_t i = 0; i < count; ++i) {
        wide.InsertNode(top, "leaf");
    }
    const Bytes wideRecords = NodeBlock(UtfLayout(wide));
    ASSERT_EQ(wideRecords.size(), 44u * (count + 1));
    // Each leaf points at the next; the last one at nothing.
    EXPECT_EQ(LoadU32(wideRecords.data() + 44), 88u);
    EXPECT_EQ(LoadU32(wideRecords.data() + 44 * count), 0u);

    NodeTree deep;
    NodeHandle node;
    for (std::uint32_t i = 0; i <= count; ++i) {
        node = deep.InsertNode(node, "level");
    }
    const Bytes deepRecords = NodeBlock(UtfLayout(deep));
    ASSERT_EQ(deepRecords.size(), 44u * (count + 1));
    EXPECT_EQ(LoadU32(deepRecords.data() + 44 * (count - 1) + 16), 44u * count);
    EXPECT_EQ(LoadU32(deepRecords.data() + 44 * count + 8), UtfFlagLeaf);
}

}  // namespace

}  // namespace cmp
