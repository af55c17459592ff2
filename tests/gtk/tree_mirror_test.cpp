#include "ui/gtk/gtk_user_interface.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cmp {

namespace {

// The store's rows in pre-order, each as its depth and name, read without recursion.
std::vector<std::pair<int, std::string>> StoreRows(GtkTreeStore* store) {
    GtkTreeModel* model = GTK_TREE_MODEL(store);
    std::vector<std::pair<int, std::string>> rows;
    GtkTreeIter row;
    bool more = gtk_tree_model_get_iter_first(model, &row);
    while (more) {
        gchar* name = nullptr;
        gtk_tree_model_get(model, &row, NodeNameColumn, &name, -1);
        rows.emplace_back(gtk_tree_store_iter_depth(store, &row), name);
        g_free(name);
        GtkTreeIter next;
        if (gtk_tree_model_iter_children(model, &next, &row)) {
            row = next;
            continue;
        }
        // No children: the next sibling of this row or of the nearest ancestor with one.
        while (true) {
            next = row;
            if (gtk_tree_model_iter_next(model, &next)) {
                row = next;
                break;
            }
            GtkTreeIter parent;
            if (!gtk_tree_model_iter_parent(model, &parent, &row)) {
                more = false;
                break;
            }
            row = parent;
        }
    }
    return rows;
}

std::vector<std::pair<int, std::string>> Mirror(const NodeTree& tree) {
    GtkTreeStore* store = NewNodeNameStore();
    MirrorNodeTree(store, tree);
    auto rows = StoreRows(store);
    g_object_unref(store);
    return rows;
}

TEST(TreeMirrorTest, ChildrenFollowTheTreeNotTheInsertionOrder) {
    NodeTree tree;
    const NodeHandle root = tree.InsertNode({}, "\\");
    const NodeHandle library = tree.InsertNode(root, "VMeshLibrary");
    const NodeHandle cmpnd = tree.InsertNode(root, "Cmpnd");
    tree.InsertNode(cmpnd, "Root");
    tree.InsertNode(library, "hull.lod0.vms");  // inserted after "Cmpnd", shown before it
    tree.InsertNode({}, "second top level");
    tree.InsertNode(library, "wing.lod0.vms");

    const std::vector<std::pair<int, std::string>> expected = {
        {0, "\\"},    {1, "VMeshLibrary"}, {2, "hull.lod0.vms"},    {2, "wing.lod0.vms"},
        {1, "Cmpnd"}, {2, "Root"},         {0, "second top level"},
    };
    EXPECT_EQ(Mirror(tree), expected);
}

TEST(TreeMirrorTest, TopLevelNodesGoAfterExistingRows) {
    NodeTree tree;
    tree.InsertNode(tree.InsertNode({}, "first"), "child");
    tree.InsertNode({}, "second");
    GtkTreeStore* store = NewNodeNameStore();
    gtk_tree_store_insert_with_values(store, nullptr, nullptr, -1, NodeNameColumn, "earlier", -1);
    MirrorNodeTree(store, tree);
    const std::vector<std::pair<int, std::string>> expected = {
        {0, "earlier"}, {0, "first"}, {1, "child"}, {0, "second"}};
    EXPECT_EQ(StoreRows(store), expected);
    g_object_unref(store);
}

TEST(TreeMirrorTest, EmptyTreeGivesEmptyStore) {
    EXPECT_TRUE(Mirror(NodeTree{}).empty());
}

TEST(TreeMirrorTest, NamesThatAreNotUtf8AreShownReplaced) {
    NodeTree tree;
    tree.InsertNode({}, "Hp\xE9tage");  // a Latin-1 name from a host
    tree.InsertNode({},
                    "Gr\xC3\xBC\xC3\x9F"
                    "e");
    const auto rows = Mirror(tree);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].second, "Hp\xEF\xBF\xBDtage");
    EXPECT_EQ(rows[1].second,
              "Gr\xC3\xBC\xC3\x9F"
              "e");
}

// A model may carry thousands of hardpoints under one node, and nothing stops a tree
// from being deep; neither may cost stack in proportion.
TEST(TreeMirrorTest, LongSiblingChainsAndDeepChains) {
    constexpr int Siblings = 50000;
    constexpr int Depth = 3000;
    NodeTree tree;
    const NodeHandle fixed = tree.InsertNode(tree.InsertNode({}, "Hardpoints"), "Fixed");
    for (int i = 0; i < Siblings; ++i) {
        tree.InsertNode(fixed, "HpGun" + std::to_string(i));
    }
    NodeHandle deepest = tree.InsertNode({}, "deep");
    for (int i = 0; i < Depth; ++i) {
        deepest = tree.InsertNode(deepest, "level" + std::to_string(i));
    }

    const auto rows = Mirror(tree);
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(2 + Siblings + 1 + Depth));
    EXPECT_EQ(rows[1], (std::pair<int, std::string>{1, "Fixed"}));
    for (int i = 0; i < Siblings; ++i) {
        ASSERT_EQ(rows[2 + i], (std::pair<int, std::string>{2, "HpGun" + std::to_string(i)}));
    }
    EXPECT_EQ(rows[2 + Siblings], (std::pair<int, std::string>{0, "deep"}));
    EXPECT_EQ(rows.back(), (std::pair<int, std::string>{Depth, "level2999"}));
}

}  // namespace

}  // namespace cmp
