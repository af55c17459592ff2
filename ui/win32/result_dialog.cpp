#include "ui/win32/win32_user_interface.h"

#include <commctrl.h>

#include "ui/win32/result_dialog_ids.h"

namespace cmp {

namespace {

struct DialogStart {
    const std::string* caption;
    const std::function<const NodeTree*()>* initialise;
    bool initialised = false;
};

HTREEITEM AppendItem(HWND treeView, HTREEITEM parent, const std::string& name) {
    TVINSERTSTRUCTA insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    // The control copies the text; it never writes through this pointer.
    insert.item.pszText = const_cast<char*>(name.c_str());
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(treeView, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

// The parent item as the control knows it; TVI_ROOT above the top level.
HTREEITEM ParentItem(HWND treeView, HTREEITEM item) {
    if (item == TVI_ROOT) {
        return TVI_ROOT;
    }
    auto parent = reinterpret_cast<HTREEITEM>(
        SendMessageA(treeView, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)));
    return parent != nullptr ? parent : TVI_ROOT;
}

// Centred on the work area of the monitor the dialog is on, as a dialog without an
// owner is centred; kept inside the work area when it is larger.
void CentreOnWorkArea(HWND dialog) {
    RECT window{};
    GetWindowRect(dialog, &window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoA(MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
        return;
    }
    const RECT& area = monitor.rcWork;
    const LONG width = window.right - window.left;
    const LONG height = window.bottom - window.top;
    LONG left = area.left + (area.right - area.left - width) / 2;
    LONG top = area.top + (area.bottom - area.top - height) / 2;
    left = left + width > area.right ? area.right - width : left;
    top = top + height > area.bottom ? area.bottom - height : top;
    left = left < area.left ? area.left : left;
    top = top < area.top ? area.top : top;
    SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void StartDialog(HWND dialog, DialogStart& start) {
    SetWindowTextA(dialog, start.caption->c_str());
    CentreOnWorkArea(dialog);
    start.initialised = true;
    const NodeTree* tree = (*start.initialise)();
    if (tree == nullptr) {
        // Ended during WM_INITDIALOG: the dialog manager never shows it.
        EndDialog(dialog, IDABORT);
        return;
    }
    HWND treeView = GetDlgItem(dialog, IDC_RESULT_TREE);
    if (treeView != nullptr) {
        FillTreeView(treeView, *tree);
    }
}

INT_PTR CALLBACK ResultDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            StartDialog(dialog, *reinterpret_cast<DialogStart*>(lParam));
            // TRUE: the dialog manager focuses the first tab stop, "Continue".
            return TRUE;
        case WM_COMMAND:
            // "Continue" and Escape arrive as IDCANCEL, Enter as IDOK; both end it.
            if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void FillTreeView(HWND treeView, const NodeTree& tree) {
    // Depth-first in tree order. The node tree knows every node's parent and the
    // control every item's parent, so climbing back up needs no stack of our own.
    HTREEITEM parentItem = TVI_ROOT;
    NodeHandle node = tree.GetRoot();
    while (node) {
        HTREEITEM item = AppendItem(treeView, parentItem, tree.GetName(node));
        if (NodeHandle child = tree.GetFirstChild(node)) {
            parentItem = item;
            node = child;
            continue;
        }
        while (node && !tree.GetNextSibling(node)) {
            node = tree.GetParent(node);
            parentItem = ParentItem(treeView, parentItem);
        }
        if (node) {
            node = tree.GetNextSibling(node);
        }
    }
}

void RunResultDialog(const std::string& caption,
                     const std::function<const NodeTree*()>& initialise) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_TREEVIEW_CLASSES;
    InitCommonControlsEx(&controls);

    DialogStart start{&caption, &initialise};
    DialogBoxParamA(ModuleInstance(), MAKEINTRESOURCEA(IDD_RESULT_DIALOG), nullptr,
                    ResultDialogProc, reinterpret_cast<LPARAM>(&start));
    // A dialog that could not be created (no template, no window) must not cost the
    // user the file: the build and the write happen all the same, only unseen.
    if (!start.initialised) {
        initialise();
    }
}

}  // namespace cmp
