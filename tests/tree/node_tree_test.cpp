#include "tree/tree.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace cmp {

namespace {

std::vector<std::string> Names(const NodeTree& tree, const std::vector<NodeHandle>& nodes) {
    std::vector<std::string> names;
    for (NodeHandle node : nodes) {
        names.push_back(tree.GetName(node));
    }
    return names;
}

// A copy of a payload's bytes, to compare; a failure when there is no payload.
Bytes BytesOf(const Payload* payload) {
    if (!payload) {
        ADD_FAILURE() << "no payload";
        return {};
    }
    return Bytes(payload->bytes.begin(), payload->bytes.end());
}

std::vector<NodeHandle> PreOrder(const NodeTree& tree) {
    std::vector<NodeHandle> order;
    std::vector<NodeHandle> stack;
    if (tree.GetRoot()) {
        stack.push_back(tree.GetRoot());
    }
    while (!stack.empty()) {
        NodeHandle node = stack.back();
        stack.pop_back();
        order.push_back(node);
        if (NodeHandle sibling = tree.GetNextSibling(node)) {
            stack.push_back(sibling);
        }
        if (NodeHandle child = tree.GetFirstChild(node)) {
            stack.push_back(child);
        }
    }
    return order;
}

TEST(NodeTreeTest, RegistryIsInsertionOrderWalkIsTreeOrder) {
    NodeTree tree;
    NodeHandle a = tree.InsertNode(NodeHandle(), "A");
    NodeHandle b = tree.InsertNode(a, "B");
    NodeHandle c = tree.InsertNode(a, "C");
    NodeHandle d = tree.InsertNode(b, "D");

    EXPECT_EQ(tree.GetRoot(), a);
    EXPECT_EQ(tree.GetFirstChild(a), b);
    EXPECT_EQ(tree.GetFirstChild(b), d);
    EXPECT_FALSE(tree.GetFirstChild(c));
    EXPECT_FALSE(tree.GetFirstChild(d));
    EXPECT_EQ(tree.GetNextSibling(b), c);
    for (NodeHandle last : {a, c, d}) {
        EXPECT_FALSE(tree.GetNextSibling(last));
    }
    EXPECT_EQ(Names(tree, tree.Registry()), (std::vector<std::string>{"A", "B", "C", "D"}));
    EXPECT_EQ(Names(tree, PreOrder(tree)), (std::vector<std::string>{"A", "B", "D", "C"}));

    NodeHandle e = tree.InsertNode(NodeHandle(), "E");
    EXPECT_EQ(tree.GetNextSibling(a), e);
    EXPECT_EQ(tree.Registry().back(), e);
    EXPECT_EQ(Names(tree, PreOrder(tree)), (std::vector<std::string>{"A", "B", "D", "C", "E"}));
    for (std::size_t i = 0; i < tree.Registry().size(); ++i) {
        EXPECT_EQ(tree.GetIndex(tree.Registry()[i]), i);
    }
}

TEST(NodeTreeTest, PayloadsAndDuplicateNames) {
    NodeTree tree;
    NodeHandle top = tree.InsertNode(NodeHandle(), "Position");
    NodeHandle twin = tree.InsertNode(top, "Position");
    EXPECT_NE(top, twin);
    EXPECT_EQ(tree.GetSize(), 2u);
    EXPECT_EQ(tree.GetPayload(twin), nullptr);
    tree.SetPayload(twin, {1, 2});
    ASSERT_NE(tree.GetPayload(twin), nullptr);
    EXPECT_EQ(BytesOf(tree.GetPayload(twin)), (Bytes{1, 2}));
    EXPECT_EQ(tree.GetPayload(top), nullptr);
    EXPECT_EQ(tree.GetParent(twin), top);
}

// The layout writes payloads from where they lie, so their bytes must stay put while the
// tree grows (with room reserved and beyond it), and a later payload replaces one.
TEST(NodeTreeTest, PayloadBytesStayPutAsTheTreeGrows) {
    NodeTree tree;
    tree.Reserve(4);
    const NodeHandle leaf = tree.InsertNode(NodeHandle(), "VMeshData");
    tree.SetPayload(leaf, Bytes(100, 7));
    const std::uint8_t* bytes = tree.GetPayload(leaf)->bytes.data();
    for (int i = 0; i < 1000; ++i) {
        tree.SetPayload(tree.InsertNode(leaf, "Position"), Bytes(12, static_cast<std::uint8_t>(i)));
    }
    EXPECT_EQ(tree.GetPayload(leaf)->bytes.data(), bytes);
    EXPECT_EQ(BytesOf(tree.GetPayload(leaf)), Bytes(100, 7));
    EXPECT_EQ(BytesOf(tree.GetPayload(tree.Registry()[500])), Bytes(12, 243));  // 499 % 256
    tree.SetPayload(leaf, {1});
    EXPECT_EQ(BytesOf(tree.GetPayload(leaf)), Bytes{1});
}

// Bytes of `size` that differ from node to node, so that one payload written over
// another's shows.
Bytes Pattern(std::size_t node, std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(node * 31 + i * 7 + 1);
    }
    return bytes;
}

// Copied payloads: every one must keep its own bytes at its own address while thousands
// more are added, and after the tree is moved, whatever the mix of sizes.
TEST(NodeTreeTest, CopiedPayloadsKeepTheirBytesAndAddresses) {
    struct Case {
        const char* what;
        std::vector<std::size_t> sizes;  // taken in turn, node after node
    };
    const std::vector<Case> cases = {
        {"hardpoint leaves", {12, 8, 8, 36, 12}},
        {"one byte each", {1}},
        {"four to a block, exactly", {4096}},
        {"three to a block, the end unused", {5000}},
        {"exactly a block", {16384}},
        {"larger than a block between small ones", {12, 40000, 36, 16385, 8}},
    };
    for (const Case& c : cases) {
        NodeTree tree;
        const NodeHandle top = tree.InsertNode(NodeHandle(), "Hardpoints");
        std::vector<NodeHandle> nodes;
        std::vector<const std::uint8_t*> addresses;
        std::size_t total = 0;
        for (std::size_t n = 0; n < 3000 && total < (4u << 20); ++n) {
            const std::size_t size = c.sizes[n % c.sizes.size()];
            const Bytes bytes = Pattern(n, size);
            nodes.push_back(tree.InsertNode(top, "Leaf"));
            tree.SetPayload(nodes.back(), std::span<const std::uint8_t>(bytes));
            addresses.push_back(tree.GetPayload(nodes.back())->bytes.data());
            total += size;
        }
        const auto check = [&](const NodeTree& t, const char* when) {
            for (std::size_t n = 0; n < nodes.size(); ++n) {
                const Payload* payload = t.GetPayload(nodes[n]);
                ASSERT_NE(payload, nullptr) << c.what << ", " << when << ", node " << n;
                EXPECT_EQ(payload->bytes.data(), addresses[n])
                    << c.what << ", " << when << ", node " << n;
                EXPECT_EQ(BytesOf(payload), Pattern(n, c.sizes[n % c.sizes.size()]))
                    << c.what << ", " << when << ", node " << n;
            }
        };
        check(tree, "built");
        NodeTree moved(std::move(tree));
        check(moved, "moved");
        NodeTree assigned;
        assigned.InsertNode(NodeHandle(), "Old");
        assigned.SetPayload(assigned.Registry().back(), std::span<const std::uint8_t>(Bytes(9)));
        assigned = std::move(moved);
        check(assigned, "move-assigned");
    }
}

// A vector handed over is kept, not copied: mesh data runs to megabytes.
TEST(NodeTreeTest, AVectorPayloadKeepsItsBuffer) {
    NodeTree tree;
    const NodeHandle leaf = tree.InsertNode(NodeHandle(), "VMeshData");
    Bytes meshData = Pattern(0, 1 << 20);
    const std::uint8_t* buffer = meshData.data();
    tree.SetPayload(leaf, std::move(meshData));
    EXPECT_EQ(tree.GetPayload(leaf)->bytes.data(), buffer);
    NodeTree moved(std::move(tree));
    EXPECT_EQ(moved.GetPayload(leaf)->bytes.data(), buffer);
    EXPECT_EQ(BytesOf(moved.GetPayload(leaf)), Pattern(0, 1 << 20));
}

// A later payload of either kind replaces an earlier one of either kind; the bytes a
// layout may still view stay as they were, and the other nodes keep theirs.
TEST(NodeTreeTest, ReplacingAPayload) {
    struct Case {
        const char* what;
        bool firstCopied;
        bool secondCopied;
    };
    const std::vector<Case> cases = {
        {"copied over copied", true, true},
        {"copied over vector", false, true},
        {"vector over copied", true, false},
        {"vector over vector", false, false},
    };
    for (const Case& c : cases) {
        NodeTree tree;
        const NodeHandle before = tree.InsertNode(NodeHandle(), "Before");
        tree.SetPayload(before, std::span<const std::uint8_t>(Pattern(1, 12)));
        const NodeHandle leaf = tree.InsertNode(NodeHandle(), "Leaf");
        const auto set = [&](bool copied, const Bytes& bytes) {
            if (copied) {
                tree.SetPayload(leaf, std::span<const std::uint8_t>(bytes));
            } else {
                tree.SetPayload(leaf, Bytes(bytes));
            }
        };
        set(c.firstCopied, Pattern(2, 36));
        const std::span<const std::uint8_t> old = tree.GetPayload(leaf)->bytes;
        set(c.secondCopied, Pattern(3, 8));
        const NodeHandle after = tree.InsertNode(NodeHandle(), "After");
        tree.SetPayload(after, std::span<const std::uint8_t>(Pattern(4, 12)));

        EXPECT_EQ(BytesOf(tree.GetPayload(leaf)), Pattern(3, 8)) << c.what;
        EXPECT_EQ(Bytes(old.begin(), old.end()), Pattern(2, 36)) << c.what;
        EXPECT_EQ(BytesOf(tree.GetPayload(before)), Pattern(1, 12)) << c.what;
        EXPECT_EQ(BytesOf(tree.GetPayload(after)), Pattern(4, 12)) << c.what;
    }
}

// An empty payload, copied or handed over, is a payload of no bytes (the layout writes
// it exactly like none), also after a payload with bytes.
TEST(NodeTreeTest, EmptyPayloads) {
    NodeTree tree;
    const NodeHandle vector = tree.InsertNode(NodeHandle(), "Vector");
    const NodeHandle copied = tree.InsertNode(NodeHandle(), "Copied");
    const NodeHandle emptied = tree.InsertNode(NodeHandle(), "Emptied");
    tree.SetPayload(vector, Bytes());
    tree.SetPayload(copied, std::span<const std::uint8_t>());
    tree.SetPayload(emptied, std::span<const std::uint8_t>(Pattern(0, 12)));
    tree.SetPayload(emptied, std::span<const std::uint8_t>());
    for (NodeHandle node : {vector, copied, emptied}) {
        ASSERT_NE(tree.GetPayload(node), nullptr) << tree.GetName(node);
        EXPECT_TRUE(tree.GetPayload(node)->bytes.empty()) << tree.GetName(node);
    }
}

TEST(NodeTreeTest, EmptyTree) {
    NodeTree tree;
    EXPECT_FALSE(tree.GetRoot());
    EXPECT_TRUE(tree.Registry().empty());
}

}  // namespace

}  // namespace cmp
