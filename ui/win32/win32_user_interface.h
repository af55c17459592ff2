// The user interface of the Windows plug-in: the system's own message box, common save
// dialog and a dialog from this module's resources.
//
// - CreateWin32UserInterface: the interface itself, made of the pieces below.
// - RunResultDialog, FillTreeView: the modal result dialog from template 2000
//   (result_dialog.rc; its identifiers in result_dialog_ids.h, which the resource
//   compiler reads too) and the tree view it fills.
// - SaveFileRequest, BuildFilterList: the common save dialog's request.
// - ModuleInstance: the module that holds the resources.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <commdlg.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tree/tree.h"
#include "ui/user_interface.h"

namespace cmp {

// -- The interface
std::unique_ptr<UserInterface> CreateWin32UserInterface();

// -- The result dialog
// The modal result dialog of the Win32 user interface: dialog template 2000 of this
// module, with a tree view that mirrors the node tree and one "Continue" button.

// Runs the dialog without an owner window. In WM_INITDIALOG, before the dialog is
// shown, it sets `caption`, centres itself on the work area, runs `initialise` and
// fills the tree view from the tree it returns. Returns when "Continue", Escape, Enter
// or the close box has ended it, or at once, unseen, when `initialise` gives null.
void RunResultDialog(const std::string& caption,
                     const std::function<const NodeTree*()>& initialise);

// Appends every node of `tree` to `treeView` under their parents, children in insertion
// order, all collapsed. Iterative: deep trees and long sibling chains cost no stack.
void FillTreeView(HWND treeView, const NodeTree& tree);

// -- The save dialog
// The request for the common save dialog, built from the run's options. It owns every
// buffer the OPENFILENAMEA points into, so it must stay in place while the dialog runs.

class SaveFileRequest {
  public:
    // Fills the dialog structure the way hosts of this plug-in have always seen it: the
    // Windows 95/NT 4 size (76 bytes, so the dialog shows no places bar), no owner, the
    // filter pairs as one double-NUL-terminated list starting on the first pair, the
    // option flags, and two empty buffers of maxPathLength + 1 bytes for the full path
    // and the file title.
    explicit SaveFileRequest(const SaveDialogOptions& options);
    SaveFileRequest(const SaveFileRequest&) = delete;
    SaveFileRequest& operator=(const SaveFileRequest&) = delete;

    // Shows the dialog: the confirmed full path, or nothing on cancel or when the
    // choice does not fit the buffer (the dialog then fails instead of cutting it).
    std::optional<std::string> Show();

  private:
    std::string title_;
    std::string filterList_;
    std::string defaultExtension_;
    std::vector<char> path_;
    std::vector<char> fileTitle_;
    OPENFILENAMEA dialog_;
};

// "CMP Files (*.cmp)\0*.cmp\0All Files (*.*)\0*.*\0\0": description and pattern of each
// filter, each with its NUL, and one more NUL that ends the list.
std::string BuildFilterList(const std::vector<FileFilter>& filters);

// -- The module
// The module that holds this user interface's resources: the plug-in DLL when it is
// linked into one, else the program itself.

HINSTANCE ModuleInstance();

}  // namespace cmp
