// The Win32 user interface on its own, linked into this program with its dialog
// template: the save dialog's structure as the system receives it, the tree view mirror and the
// three dialogs, driven by the test host's dialog driver. Runs under Wine.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "plugin/plugin.h"
#include "tests/support/scratch_folder.h"
#include "tests/windows/host/dialog_driver.h"
#include "tests/windows/host/import_spy.h"
#include "ui/win32/win32_user_interface.h"

namespace cmp {

namespace {

// The structure as GetSaveFileNameA receives it when the interface asks for a path with
// `options`: the program's own import of the function is watched and the dialog cancelled.
SaveDialogCall StructureReceived(const SaveDialogOptions& options) {
    const ImportSpy spy(GetModuleHandleA(nullptr));
    DialogDriver driver({{DialogKind::SaveFile, DialogAction::Cancel, {}, {}}});
    EXPECT_FALSE(CreateWin32UserInterface()->AskSavePath(options).has_value()) << "cancelled";
    EXPECT_EQ(spy.SaveDialogs().size(), 1u) << "one call of GetSaveFileNameA";
    return spy.SaveDialogs().empty() ? SaveDialogCall{} : spy.SaveDialogs().front();
}

// The structure the export's save dialog gets.
TEST(Win32SaveRequest, ExportStructure) {
    const SaveDialogCall dialog = StructureReceived(ExportSaveDialogOptions());
    static const char filters[] = "CMP Files (*.cmp)\0*.cmp\0All Files (*.*)\0*.*\0";
    EXPECT_EQ(dialog.structSize, 76ul) << "lStructSize";
    EXPECT_TRUE(dialog.owner == nullptr && dialog.instance == nullptr) << "no owner";
    EXPECT_EQ(dialog.filterList, std::string(filters, sizeof filters))
        << "filter pairs, each NUL-terminated, then one more NUL";
    EXPECT_TRUE(dialog.customFilterNull && dialog.filterIndex == 0)
        << "no custom filter, the first pair active";
    ASSERT_FALSE(dialog.fileBufferNull);
    EXPECT_EQ(dialog.fileBufferStart, "") << "empty path";
    EXPECT_EQ(dialog.maxFile, 256ul) << "path buffer";
    ASSERT_FALSE(dialog.fileTitleBufferNull);
    EXPECT_EQ(dialog.fileTitleBufferStart, "") << "empty file title";
    EXPECT_EQ(dialog.maxFileTitle, 256ul) << "file title buffer";
    EXPECT_TRUE(dialog.buffersDistinct) << "two buffers";
    EXPECT_TRUE(dialog.initialDirNull) << "no initial folder";
    EXPECT_EQ(dialog.title, std::string("Export QV CMP")) << "title";
    EXPECT_EQ(dialog.flags, 0x806ul) << "flags";
    EXPECT_EQ(dialog.defaultExtension, std::string("cmp")) << "default extension";
    // The fields past the declared 76 bytes are not the system's to read.
    EXPECT_TRUE(dialog.hookNull && dialog.templateNameNull && dialog.customData == 0)
        << "everything else zero";
}

TEST(Win32SaveRequest, FlagsFollowTheOptions) {
    struct FlagCase {
        bool overwrite, hideReadOnly, pathMustExist;
        DWORD flags;
    };
    for (const FlagCase& flagCase :
         {FlagCase{false, false, false, 0x0}, FlagCase{true, false, false, 0x2},
          FlagCase{false, true, false, 0x4}, FlagCase{false, false, true, 0x800}}) {
        SaveDialogOptions options = ExportSaveDialogOptions();
        options.overwritePrompt = flagCase.overwrite;
        options.hideReadOnly = flagCase.hideReadOnly;
        options.pathMustExist = flagCase.pathMustExist;
        EXPECT_EQ(StructureReceived(options).flags, flagCase.flags)
            << "overwrite " << flagCase.overwrite << ", hide read-only " << flagCase.hideReadOnly
            << ", path must exist " << flagCase.pathMustExist;
    }
}

TEST(Win32SaveRequest, BareOptions) {
    SaveDialogOptions bare;
    bare.maxPathLength = 99;
    const SaveDialogCall bareRequest = StructureReceived(bare);
    EXPECT_EQ(bareRequest.filterList, "") << "no filters: none given";
    EXPECT_TRUE(bareRequest.defaultExtensionNull) << "no extension: none given";
    EXPECT_TRUE(bareRequest.titleNull) << "no title: the dialog's own";
    EXPECT_EQ(bareRequest.maxFile, 100ul) << "buffer of the limit plus the NUL";
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

TEST(Win32TreeMirror, OrderAndNesting) {
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
    EXPECT_EQ(view.Count(), 7) << "items";
    HTREEITEM top = view.Next(nullptr, TVGN_ROOT);
    EXPECT_EQ(view.Text(top), std::string("\\")) << "first top-level item";
    HTREEITEM first = view.Next(top, TVGN_CHILD);
    EXPECT_EQ(view.Text(first), std::string("VMeshLibrary")) << "first child";
    EXPECT_EQ(view.Text(view.Next(first, TVGN_CHILD)), std::string("entry")) << "grandchild";
    HTREEITEM second = view.Next(first, TVGN_NEXT);
    EXPECT_EQ(view.Text(second), std::string("Cmpnd")) << "second child";
    EXPECT_EQ(view.Text(view.Next(second, TVGN_CHILD)), std::string("Root"))
        << "its child, though inserted after \"entry\"";
    EXPECT_EQ(view.Text(view.Next(second, TVGN_NEXT)), std::string("last")) << "third child";
    EXPECT_EQ(view.Text(view.Next(top, TVGN_NEXT)), std::string("second top-level"))
        << "second top-level item";
}

// Deep and long: a recursive mirror would need thousands of frames.
TEST(Win32TreeMirror, DeepAndLongChains) {
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
    EXPECT_EQ(view.Count(), depth + siblings) << "items of the deep tree";
    HTREEITEM item = view.Next(nullptr, TVGN_ROOT);
    int levels = 1;
    while (HTREEITEM child = view.Next(item, TVGN_CHILD)) {
        item = child;
        ++levels;
    }
    EXPECT_EQ(levels, depth + 1) << "levels, the leaves included";
    EXPECT_EQ(view.Text(item), std::string("leaf0")) << "the first leaf";
    EXPECT_EQ(view.Text(view.Next(view.Next(item, TVGN_PARENT), TVGN_CHILD)), std::string("leaf0"))
        << "leaves under the deepest level";
}

// Start-up before showing, caption, tree, and every way of closing.
TEST(Win32ResultDialog, StartsUpShowsTheTreeAndCloses) {
    NodeTree tree;
    NodeHandle root = tree.InsertNode({}, "\\");
    tree.InsertNode(tree.InsertNode(root, "Cmpnd"), "Root");
    const std::unique_ptr<UserInterface> ui = CreateWin32UserInterface();
    const DialogAction closings[] = {DialogAction::PressContinue, DialogAction::PressEscape,
                                     DialogAction::CommandOk, DialogAction::CloseBox};
    for (DialogAction closing : closings) {
        SCOPED_TRACE("closing " + std::to_string(static_cast<int>(closing)));
        bool initialisedBeforeShown = false;
        bool initialised = false;
        DialogDriver driver({{DialogKind::Result, closing, {}, {}}},
                            [&](DialogSnapshot&) { initialisedBeforeShown = initialised; });
        ui->RunResultDialog("Caption of the run", [&]() -> const NodeTree* {
            initialised = true;
            return &tree;
        });
        EXPECT_TRUE(driver.Problems().empty() && driver.Unused() == 0)
            << "the dialog came and went";
        EXPECT_TRUE(initialisedBeforeShown) << "the start-up ran before the dialog showed";
        ASSERT_EQ(driver.Seen().size(), 1u);
        const DialogSnapshot& seen = driver.Seen().front();
        EXPECT_EQ(seen.caption, std::string("Caption of the run")) << "caption";
        EXPECT_EQ(seen.treeCount, 3) << "items";
        EXPECT_TRUE(seen.buttonFocused) << "\"Continue\" focused";
    }
}

TEST(Win32ResultDialog, WithoutATreeEndsUnseen) {
    const std::unique_ptr<UserInterface> ui = CreateWin32UserInterface();
    DialogDriver none({});
    ui->RunResultDialog("Nothing", [] { return static_cast<const NodeTree*>(nullptr); });
    EXPECT_TRUE(none.Seen().empty() && none.Problems().empty())
        << "no tree: the dialog ends unseen";
}

TEST(Win32Dialogs, MessageBox) {
    const std::unique_ptr<UserInterface> ui = CreateWin32UserInterface();
    DialogDriver driver({{DialogKind::MessageBox, DialogAction::Ok, {}, {}}});
    ui->ShowMessage("Something to say", "A caption", MessageBoxWarning);
    EXPECT_TRUE(driver.Problems().empty());
    ASSERT_EQ(driver.Seen().size(), 1u) << "one box";
    EXPECT_EQ(driver.Seen().front().caption, std::string("A caption")) << "box caption";
    EXPECT_EQ(driver.Seen().front().text, std::string("Something to say")) << "box text";
    EXPECT_TRUE(driver.Seen().front().ownerless) << "no owner";
}

// Confirmed, cancelled, and a choice over the length limit.
TEST(Win32Dialogs, SaveDialog) {
    const std::unique_ptr<UserInterface> ui = CreateWin32UserInterface();
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string chosen = std::string(temp) + "ui-test.cmp";
    {
        DialogDriver driver({{DialogKind::SaveFile, DialogAction::ConfirmPath, chosen, {}}});
        const std::optional<std::string> path = ui->AskSavePath(ExportSaveDialogOptions());
        EXPECT_EQ(path.value_or("(nothing)"), chosen) << "the confirmed path";
        ASSERT_FALSE(driver.Seen().empty());
        EXPECT_EQ(driver.Seen().front().caption, "Export QV CMP") << "the dialog's title";
    }
    {
        DialogDriver driver({{DialogKind::SaveFile, DialogAction::Cancel, {}, {}}});
        EXPECT_FALSE(ui->AskSavePath(ExportSaveDialogOptions()).has_value())
            << "cancel gives nothing";
    }
    {
        SaveDialogOptions options = ExportSaveDialogOptions();
        options.maxPathLength = 20;
        DialogDriver driver({{DialogKind::SaveFile, DialogAction::ConfirmPath, chosen, {}}});
        EXPECT_FALSE(ui->AskSavePath(options).has_value()) << "a path over the limit gives nothing";
    }
}

// The dialog's own rule for the default extension, which the whole project follows: it
// is added to a name without one, and a name that starts with a dot has one.
TEST(Win32Dialogs, DefaultExtension) {
    const ScratchFolder scratch(ScratchFolder::Enter::Yes, "default-extension");
    std::filesystem::create_directory(scratch.GetPath() / "my.folder");
    const std::unique_ptr<UserInterface> ui = CreateWin32UserInterface();
    struct ExtensionCase {
        const char* typed;
        const char* returned;
    };
    for (const ExtensionCase& test :
         {ExtensionCase{"ship", "ship.cmp"}, ExtensionCase{"ship.v2", "ship.v2"},
          ExtensionCase{".hidden", ".hidden"},
          ExtensionCase{"my.folder\\ship", "my.folder\\ship.cmp"}}) {
        SCOPED_TRACE(std::string("typed ") + test.typed);
        DialogDriver driver(
            {{DialogKind::SaveFile, DialogAction::ConfirmPath, scratch / test.typed, {}}});
        const std::optional<std::string> path = ui->AskSavePath(ExportSaveDialogOptions());
        EXPECT_TRUE(driver.Problems().empty() && driver.Unused() == 0)
            << "the dialog came and went";
        EXPECT_EQ(path.value_or("(nothing)"), scratch / test.returned);
    }
}

}  // namespace

}  // namespace cmp
