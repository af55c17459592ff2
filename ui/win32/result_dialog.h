// The modal result dialog of the Win32 user interface: dialog template 2000 of this
// module, with a tree view that mirrors the node tree and one "Continue" button.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "tree/tree.h"

namespace cmp {

// Runs the dialog without an owner window. In WM_INITDIALOG, before the dialog is
// shown, it sets `caption`, centres itself on the work area, runs `initialise` and
// fills the tree view from the tree it returns. Returns when "Continue", Escape, Enter
// or the close box has ended it, or at once, unseen, when `initialise` gives null.
void RunResultDialog(const std::string& caption,
                     const std::function<const NodeTree*()>& initialise);

// Appends every node of `tree` to `treeView` under their parents, children in insertion
// order, all collapsed. Iterative: deep trees and long sibling chains cost no stack.
void FillTreeView(HWND treeView, const NodeTree& tree);

}  // namespace cmp
