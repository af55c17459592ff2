#include "tree/node_tree.h"

#include <gtest/gtest.h>

#include <string>
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
    EXPECT_TRUE(tree.GetFirstChild(c).IsNull());
    EXPECT_TRUE(tree.GetFirstChild(d).IsNull());
    EXPECT_EQ(tree.GetNextSibling(b), c);
    for (NodeHandle last : {a, c, d}) {
        EXPECT_TRUE(tree.GetNextSibling(last).IsNull());
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
    EXPECT_EQ(tree.GetPayload(twin)->bytes, (Bytes{1, 2}));
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
    EXPECT_EQ(tree.GetPayload(leaf)->bytes, Bytes(100, 7));
    EXPECT_EQ(tree.GetPayload(tree.Registry()[500])->bytes, Bytes(12, 243));  // 499 % 256
    tree.SetPayload(leaf, {1});
    EXPECT_EQ(tree.GetPayload(leaf)->bytes, Bytes{1});
}

TEST(NodeTreeTest, EmptyTree) {
    NodeTree tree;
    EXPECT_TRUE(tree.GetRoot().IsNull());
    EXPECT_TRUE(tree.Registry().empty());
}

}  // namespace

}  // namespace cmp
