// The Win32 user interface on its own, linked into this program with its dialog
// template: the save dialog's structure, the tree view mirror and the three dialogs,
// driven by the test host's dialog driver. Runs under Wine.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/windows/host/checks.h"
#include "tests/windows/host/dialog_driver.h"
#include "ui/win32/result_dialog.h"
#include "ui/win32/save_dialog.h"
#include "ui/win32/win32_user_interface.h"

namespace {

SaveDialogOptions ExportOptions() {
    SaveDialogOptions options;
    options.title = "Export QV CMP";
    options.filters = {{"CMP Files (*.cmp)", "*.cmp"}, {"All Files (*.*)", "*.*"}};
    options.defaultExtension = "cmp";
    options.overwritePrompt = true;
    options.hideReadOnly = true;
    options.pathMustExist = true;
    return options;
}

void CheckSaveRequest(Checks& checks) {
    checks.Begin("save request: the structure the dialog gets");
    SaveFileRequest request(ExportOptions());
    const OPENFILENAMEA& dialog = request.Structure();
    static const char filters[] = "CMP Files (*.cmp)\0*.cmp\0All Files (*.*)\0*.*\0";
    checks.Equal(dialog.lStructSize, 76ul, "lStructSize");
    checks.Expect(dialog.hwndOwner == nullptr && dialog.hInstance == nullptr, "no owner");
    checks.Expect(std::memcmp(dialog.lpstrFilter, filters, sizeof filters) == 0,
                  "filter pairs, each NUL-terminated, then one more NUL");
    checks.Expect(dialog.lpstrCustomFilter == nullptr && dialog.nFilterIndex == 0,
                  "no custom filter, the first pair active");
    checks.Expect(dialog.lpstrFile != nullptr && dialog.lpstrFile[0] == '\0', "empty path");
    checks.Equal(dialog.nMaxFile, 256ul, "path buffer");
    checks.Expect(dialog.lpstrFileTitle != nullptr && dialog.lpstrFileTitle[0] == '\0',
                  "empty file title");
    checks.Equal(dialog.nMaxFileTitle, 256ul, "file title buffer");
    checks.Expect(dialog.lpstrFile != dialog.lpstrFileTitle, "two buffers");
    checks.Expect(dialog.lpstrInitialDir == nullptr, "no initial folder");
    checks.Equal(std::string(dialog.lpstrTitle), std::string("Export QV CMP"), "title");
    checks.Equal(dialog.Flags, 0x806ul, "flags");
    checks.Equal(std::string(dialog.lpstrDefExt), std::string("cmp"), "default extension");
    checks.Expect(dialog.lpfnHook == nullptr && dialog.lpTemplateName == nullptr &&
                      dialog.lCustData == 0 && dialog.pvReserved == nullptr &&
                      dialog.dwReserved == 0 && dialog.FlagsEx == 0,
                  "everything else zero");

    struct FlagCase {
        bool overwrite, hideReadOnly, pathMustExist;
        DWORD flags;
    };
    for (const FlagCase& flagCase :
         {FlagCase{false, false, false, 0x0}, FlagCase{true, false, false, 0x2},
          FlagCase{false, true, false, 0x4}, FlagCase{false, false, true, 0x800}}) {
        SaveDialogOptions options = ExportOptions();
        options.overwritePrompt = flagCase.overwrite;
        options.hideReadOnly = flagCase.hideReadOnly;
        options.pathMustExist = flagCase.pathMustExist;
        checks.Equal(SaveFileRequest(options).Structure().Flags, flagCase.flags, "flags");
    }
    SaveDialogOptions bare;
    bare.maxPathLength = 99;
    SaveFileRequest bareRequest(bare);
    checks.Expect(bareRequest.Structure().lpstrFilter == nullptr, "no filters: none given");
    checks.Expect(bareRequest.Structure().lpstrDefExt == nullptr, "no extension: none given");
    checks.Expect(bareRequest.Structure().lpstrTitle == nullptr, "no title: the dialog's own");
    checks.Equal(bareRequest.Structure().nMaxFile, 100ul, "buffer of the limit plus the NUL");
}

// A tree view window of its own, hidden, to fill directly.
class TreeView {
  public:
    TreeView() {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TREEVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        window_ = CreateWindowExA(0, WC_TREEVIEWA, "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    }
    ~TreeView() { DestroyWindow(window_); }
    HWND Get() const { return window_; }
    int Count() const { return static_cast<int>(SendMessageA(window_, TVM_GETCOUNT, 0, 0)); }
    HTREEITEM Next(HTREEITEM item, WPARAM relation) const {
        return reinterpret_cast<HTREEITEM>(
            SendMessageA(window_, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
    }
    std::string Text(HTREEITEM item) const {
        char text[256] = {};
        TVITEMA query{};
        query.mask = TVIF_TEXT | TVIF_HANDLE;
        query.hItem = item;
        query.pszText = text;
        query.cchTextMax = sizeof text;
        SendMessageA(window_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
        return text;
    }

  private:
    HWND window_ = nullptr;
};

void CheckTreeMirror(Checks& checks) {
    checks.Begin("tree view mirror: order, nesting, long chains");
    {
        NodeTree tree;
        NodeHandle root = tree.InsertNode({}, "\\");
        NodeHandle library = tree.InsertNode(root, "VMeshLibrary");
        NodeHandle cmpnd = tree.InsertNode(root, "Cmpnd");
        tree.InsertNode(library, "entry");
        tree.InsertNode(cmpnd, "Root");
        tree.InsertNode(root, "last");
        tree.InsertNode({}, "second top-level");
        TreeView view;
        FillTreeView(view.Get(), tree);
        checks.Equal(view.Count(), 7, "items");
        HTREEITEM top = view.Next(nullptr, TVGN_ROOT);
        checks.Equal(view.Text(top), std::string("\\"), "first top-level item");
        HTREEITEM first = view.Next(top, TVGN_CHILD);
        checks.Equal(view.Text(first), std::string("VMeshLibrary"), "first child");
        checks.Equal(view.Text(view.Next(first, TVGN_CHILD)), std::string("entry"), "grandchild");
        HTREEITEM second = view.Next(first, TVGN_NEXT);
        checks.Equal(view.Text(second), std::string("Cmpnd"), "second child");
        checks.Equal(view.Text(view.Next(second, TVGN_CHILD)), std::string("Root"),
                     "its child, though inserted after \"entry\"");
        checks.Equal(view.Text(view.Next(second, TVGN_NEXT)), std::string("last"), "third child");
        checks.Equal(view.Text(view.Next(top, TVGN_NEXT)), std::string("second top-level"),
                     "second top-level item");
    }
    {
        // Deep and long: a recursive mirror would need thousands of frames.
        constexpr int depth = 3000;
        constexpr int siblings = 3000;
        NodeTree tree;
        NodeHandle node = tree.InsertNode({}, "top");
        for (int level = 1; level < depth; ++level) {
            node = tree.InsertNode(node, "level" + std::to_string(level));
        }
        for (int sibling = 0; sibling < siblings; ++sibling) {
            tree.InsertNode(node, "leaf" + std::to_string(sibling));
        }
        TreeView view;
        FillTreeView(view.Get(), tree);
        checks.Equal(view.Count(), depth + siblings, "items of the deep tree");
        HTREEITEM item = view.Next(nullptr, TVGN_ROOT);
        int levels = 1;
        while (HTREEITEM child = view.Next(item, TVGN_CHILD)) {
            item = child;
            ++levels;
        }
        checks.Equal(levels, depth + 1, "levels, the leaves included");
        checks.Equal(view.Text(item), std::string("leaf0"), "the first leaf");
        checks.Equal(view.Text(view.Next(view.Next(item, TVGN_PARENT), TVGN_CHILD)),
                     std::string("leaf0"), "leaves under the deepest level");
    }
}

void CheckResultDialog(Checks& checks) {
    checks.Begin("result dialog: start-up before showing, caption, tree, closing");
    NodeTree tree;
    NodeHandle root = tree.InsertNode({}, "\\");
    tree.InsertNode(tree.InsertNode(root, "Cmpnd"), "Root");
    const std::unique_ptr<UserInterface> ui = CreateWin32UserInterface();
    const DialogAction closings[] = {DialogAction::PressContinue, DialogAction::PressEscape,
                                     DialogAction::CommandOk, DialogAction::CloseBox};
    for (DialogAction closing : closings) {
        bool initialisedBeforeShown = false;
        bool initialised = false;
        DialogDriver driver({{DialogKind::Result, closing, {}, {}}},
                            [&](DialogSnapshot&) { initialisedBeforeShown = initialised; });
        ui->RunResultDialog("Caption of the run", [&]() -> const NodeTree* {
            initialised = true;
            return &tree;
        });
        checks.Expect(driver.Problems().empty() && driver.Unused() == 0,
                      "the dialog came and went");
        checks.Expect(initialisedBeforeShown, "the start-up ran before the dialog showed");
        if (driver.Seen().size() == 1) {
            const DialogSnapshot& seen = driver.Seen().front();
            checks.Equal(seen.caption, std::string("Caption of the run"), "caption");
            checks.Equal(seen.treeCount, 3, "items");
            checks.Expect(seen.buttonFocused, "\"Continue\" focused");
        }
    }
    DialogDriver none({});
    ui->RunResultDialog("Nothing", [] { return static_cast<const NodeTree*>(nullptr); });
    checks.Expect(none.Seen().empty() && none.Problems().empty(),
                  "no tree: the dialog ends unseen");
}

void CheckMessageAndSave(Checks& checks) {
    checks.Begin("message box and save dialog through the interface");
    const std::unique_ptr<UserInterface> ui = CreateWin32UserInterface();
    {
        DialogDriver driver({{DialogKind::MessageBox, DialogAction::Ok, {}, {}}});
        ui->ShowMessage("Something to say", "A caption", MessageBoxWarning);
        checks.Expect(driver.Seen().size() == 1 && driver.Problems().empty(), "one box");
        if (driver.Seen().size() == 1) {
            checks.Equal(driver.Seen().front().caption, std::string("A caption"), "box caption");
            checks.Equal(driver.Seen().front().text, std::string("Something to say"), "box text");
            checks.Expect(driver.Seen().front().ownerless, "no owner");
        }
    }
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string chosen = std::string(temp) + "ui-test.cmp";
    {
        DialogDriver driver({{DialogKind::SaveFile, DialogAction::ConfirmPath, chosen, {}}});
        const std::optional<std::string> path = ui->AskSavePath(ExportOptions());
        checks.Equal(path.value_or("(nothing)"), chosen, "the confirmed path");
        checks.Expect(!driver.Seen().empty() && driver.Seen().front().caption == "Export QV CMP",
                      "the dialog's title");
    }
    {
        DialogDriver driver({{DialogKind::SaveFile, DialogAction::Cancel, {}, {}}});
        checks.Expect(!ui->AskSavePath(ExportOptions()).has_value(), "cancel gives nothing");
    }
    {
        SaveDialogOptions options = ExportOptions();
        options.maxPathLength = 20;
        DialogDriver driver({{DialogKind::SaveFile, DialogAction::ConfirmPath, chosen, {}}});
        checks.Expect(!ui->AskSavePath(options).has_value(), "a path over the limit gives nothing");
    }
}

}  // namespace

int main() {
    Checks checks;
    CheckSaveRequest(checks);
    CheckTreeMirror(checks);
    CheckResultDialog(checks);
    CheckMessageAndSave(checks);
    return checks.Summary() ? 0 : 1;
}
