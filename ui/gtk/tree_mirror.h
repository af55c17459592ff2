#pragma once

#include <gtk/gtk.h>

#include "tree/tree.h"

namespace cmp {

// Column of the node name (a string) in the stores that MirrorNodeTree fills.
inline constexpr int NodeNameColumn = 0;

// A new tree store with the one name column.
GtkTreeStore* NewNodeNameStore();

// Appends every node of `tree` to `store` by its name (shown as valid UTF-8), top-level
// nodes at the end of the store's top level, children under their parent in the tree's
// order. Walks without recursion, so deep trees and long sibling chains cost no stack.
void MirrorNodeTree(GtkTreeStore* store, const NodeTree& tree);

}  // namespace cmp
