#include "ui/gtk/gtk_user_interface.h"

#include <vector>

#include "ui/gtk/gtk_dialogs.h"

namespace cmp {

namespace {

// One chain of siblings still to be copied, and the row they go under.
struct PendingChain {
    NodeHandle first;
    bool underParent;
    GtkTreeIter parentRow;
};

}  // namespace

GtkTreeStore* NewNodeNameStore() {
    return gtk_tree_store_new(1, G_TYPE_STRING);
}

void MirrorNodeTree(GtkTreeStore* store, const NodeTree& tree) {
    std::vector<PendingChain> pending;
    pending.push_back({tree.GetRoot(), false, {}});
    std::vector<NodeHandle> chain;
    while (!pending.empty()) {
        const PendingChain next = pending.back();
        pending.pop_back();
        GtkTreeIter parentRow = next.parentRow;
        GtkTreeIter* parent = next.underParent ? &parentRow : nullptr;
        chain.clear();
        for (NodeHandle node = next.first; node; node = tree.GetNextSibling(node)) {
            chain.push_back(node);
        }
        // A store announces every new row with its path, and finding a row's index walks
        // its elder siblings; inserting each chain back to front at index 0 keeps that
        // walk empty, where appending would make a long chain quadratic. Top-level nodes
        // go after the rows that the store had before.
        const int firstIndex =
            parent != nullptr ? 0 : gtk_tree_model_iter_n_children(GTK_TREE_MODEL(store), nullptr);
        for (auto node = chain.rbegin(); node != chain.rend(); ++node) {
            GtkTreeIter row;
            gtk_tree_store_insert_with_values(store, &row, parent, firstIndex, NodeNameColumn,
                                              DisplayText(tree.GetName(*node)).c_str(), -1);
            if (const NodeHandle child = tree.GetFirstChild(*node)) {
                pending.push_back({child, true, row});  // rows of a tree store persist
            }
        }
    }
}

}  // namespace cmp
