// The GTK 3 user interface for Linux desktops, built into its own library
// (libcmpexport_gtk.so) that the plug-in loads only when it shows desktop dialogs.
//
// - CreateGtkUserInterface: the interface itself; its message box, file chooser and
//   result dialog share the start-up and main-loop care declared in gtk_dialogs.h.
// - ContainingFolder, InitialSaveChoiceFor, FilterGlobs: the save dialog's decisions on
//   names, free of GTK so that they can be checked without a display.
// - MirrorNodeTree: the node tree as the result dialog's tree store holds it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtk/gtk.h>

#include "tree/tree.h"
#include "ui/user_interface.h"

namespace cmp {

// -- The interface

// The GTK user interface, or null when GTK cannot start in this process (no display,
// or the display refuses the connection). Starts GTK on the first call; later calls
// reuse that outcome. Every operation of the returned object must be called on the
// thread that made this call.
std::unique_ptr<UserInterface> CreateGtkUserInterface();

// -- Names in the save dialog
// The decisions that the GTK save dialog takes on the names it is given and returns,
// kept free of GTK so that they can be checked without a display.

// The folder that holds `path`: everything before its last '/', "/" for a file in the
// root, "." for a bare name.
std::string ContainingFolder(std::string_view path);

// Where the save dialog opens when the host named the file beforehand (CMPEXPORT_SAVE_AS).
struct InitialSaveChoice {
    std::string folder;  // the folder shown
    std::string name;    // the name filled in
};

// For the file `given` (relative to `workingFolder` unless absolute): its folder with its
// last component filled in. When that folder does not exist (`isFolder` says), the working
// folder with `given` filled in as it was typed, so that accepting it tells the user the
// folder is missing rather than saving elsewhere. A name that ends in '/' is a folder:
// the dialog opens there with nothing filled in.
InitialSaveChoice InitialSaveChoiceFor(std::string_view given, const std::string& workingFolder,
                                       const std::function<bool(const std::string&)>& isFolder);

// The glob patterns of one filter as the Win32 dialog writes them ("*.cmp;*.cma"), split
// at ';' with blanks trimmed and empty entries dropped. Each pattern matches letters in
// any case ("*.cmp" becomes "*.[cC][mM][pP]"), and "*.*" matches every name, with or
// without a dot, as it does on Windows.
std::vector<std::string> FilterGlobs(std::string_view patterns);

// -- The tree mirror
// Column of the node name (a string) in the stores that MirrorNodeTree fills.
inline constexpr int NodeNameColumn = 0;

// A new tree store with the one name column.
GtkTreeStore* NewNodeNameStore();

// Appends every node of `tree` to `store` by its name (shown as valid UTF-8), top-level
// nodes at the end of the store's top level, children under their parent in the tree's
// order. Walks without recursion, so deep trees and long sibling chains cost no stack.
void MirrorNodeTree(GtkTreeStore* store, const NodeTree& tree);

}  // namespace cmp
