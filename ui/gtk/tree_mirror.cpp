#include "ui/gtk/tree_mirror.h"

#include <vector>

#include "ui/gtk/gtk_session.h"

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
    while (!pending.empty()) {
        PendingChain chain = pending.back();
        pending.pop_back();
        GtkTreeIter* parent = chain.underParent ? &chain.parentRow : nullptr;
        GtkTreeIter previous{};
        bool havePrevious = false;
        for (NodeHandle node = chain.first; node; node = tree.GetNextSibling(node)) {
            GtkTreeIter row;
            // Inserting after the previous row keeps each append constant-time, where
            // appending would walk the whole sibling list every time.
            if (havePrevious) {
                gtk_tree_store_insert_after(store, &row, parent, &previous);
            } else {
                gtk_tree_store_append(store, &row, parent);
            }
            gtk_tree_store_set(store, &row, kNodeNameColumn,
                               DisplayText(tree.GetName(node)).c_str(), -1);
            if (const NodeHandle child = tree.GetFirstChild(node)) {
                pending.push_back({child, true, row});  // rows of a tree store persist
            }
            previous = row;
            havePrevious = true;
        }
    }
}
