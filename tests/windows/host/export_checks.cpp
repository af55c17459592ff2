#include "tests/windows/host/export_checks.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "tests/windows/host/dialog_driver.h"
#include "tests/windows/host/dll_image.h"
#include "tests/windows/host/host_slots.h"
#include "tests/windows/host/host_support.h"
#include "tests/windows/host/import_spy.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* TempStream = "___temp.vms";
constexpr const char* ResultCaption = "Quorvane CMP Exporter";
constexpr const char* StreamCaption = "Error exporting VMS file";
constexpr const char* StreamText =
    "Could not open export file for some reason, check if it's not being used by another "
    "application!";
constexpr const char* TreeCaption = "Error exporting CMP file";
constexpr const char* EmptyText = "The model is empty!  Nothing exported!";
constexpr const char* EmptyCaption = "Ahem.. hello? :-)";
constexpr UINT Warning = 0x30;
constexpr UINT Error = 0x10;

struct ExpectedBox {
    const char* caption;
    const char* text;  // null: any text (the reason is the plug-in's to word)
    UINT type;
};

// One export case, run in a fresh scratch folder.
struct ExportCase {
    std::string name{};
    ModelChoice model = ModelChoice::Cube;
    // What to prepare in the scratch folder before the run.
    std::function<void(const ScratchFolder&)> prepare = nullptr;
    // What is typed into the save dialog, relative to the scratch folder; empty: Cancel.
    std::string typedName{};
    // The file the export writes there; empty: the typed name.
    std::string writtenName{};
    // When not 0, the typed name is made up so that the full path has this length.
    std::size_t pathLength = 0;
    // Runs once the save dialog has closed.
    std::function<void(const ScratchFolder&)> afterSaveClosed = nullptr;
    // The dialogs after the save dialog, in order.
    std::vector<DialogAnswer> afterSave{};
    std::int32_t result = 0;
    bool saveDialogShown = false;
    bool resultDialogShown = false;
    bool fileWritten = false;
    std::vector<ExpectedBox> boxes{};
};

DialogAnswer Answer(DialogKind kind, DialogAction action) {
    return {kind, action, {}, {}};
}

void CheckSaveDialogCall(const SaveDialogCall& call, Checks& checks) {
    static const std::string filters("CMP Files (*.cmp)\0*.cmp\0All Files (*.*)\0*.*\0\0", 45);
    checks.Equal(call.structSize, 76ul, "lStructSize");
    checks.Expect(call.owner == nullptr && call.instance == nullptr, "no owner, no instance");
    checks.Expect(call.filterList == filters, "filter list with its double NUL");
    checks.Expect(call.customFilterNull && call.maxCustomFilter == 0 && call.filterIndex == 0,
                  "no custom filter, filter index 0");
    checks.Equal(call.fileBufferStart, std::string(), "file buffer starts empty");
    checks.Equal(call.maxFile, 256ul, "nMaxFile");
    checks.Expect(!call.fileTitleBufferNull && call.fileTitleBufferStart.empty(),
                  "file title buffer given, empty");
    checks.Equal(call.maxFileTitle, 256ul, "nMaxFileTitle");
    checks.Expect(call.initialDirNull, "no initial folder");
    checks.Equal(call.title, std::string("Export QV CMP"), "title");
    checks.Equal(Hex(call.flags), Hex(0x806), "Flags");
    checks.Equal(call.defaultExtension, std::string("cmp"), "default extension");
    checks.Expect(call.customData == 0 && call.hookNull && call.templateNameNull,
                  "no custom data, hook or template");
}

std::string Text(const RECT& rect) {
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + "-" +
           std::to_string(rect.right) + "," + std::to_string(rect.bottom);
}

bool Near(LONG a, LONG b) {
    return a - b <= 1 && b - a <= 1;
}

void CheckResultDialog(const DialogSnapshot& seen, const fs::path& output, Checks& checks) {
    checks.Equal(seen.caption, std::string(ResultCaption), "result dialog caption");
    checks.Expect(seen.ownerless, "the result dialog has no owner");
    const DWORD mustHave = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    const DWORD mustNot = WS_CHILD | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    checks.Expect((seen.style & mustHave) == mustHave && (seen.style & mustNot) == 0,
                  "result dialog style " + Hex(seen.style));
    const LONG centreX = (seen.windowRect.left + seen.windowRect.right) / 2;
    const LONG centreY = (seen.windowRect.top + seen.windowRect.bottom) / 2;
    checks.Expect(Near(centreX, (seen.workArea.left + seen.workArea.right) / 2) &&
                      Near(centreY, (seen.workArea.top + seen.workArea.bottom) / 2),
                  "the dialog is centred on the work area");
    checks.Expect(seen.button.exists && seen.button.className == "Button", "the button exists");
    checks.Equal(seen.button.text, std::string("Continue"), "button text");
    checks.Equal(Hex(seen.button.style & 0xFFFF0000u), Hex(0x50010000), "button style");
    checks.Expect((seen.button.style & 0xFu) <= BS_DEFPUSHBUTTON, "a push button");
    checks.Expect(EqualRect(&seen.button.rectInDialog, &seen.buttonTemplateRect) != 0,
                  "button at 84, 143, 50 x 14 dialog units");
    checks.Expect(seen.buttonFocused, "\"Continue\" has the focus");
    checks.Expect(seen.tree.exists && Upper(seen.tree.className) == Upper(WC_TREEVIEWA),
                  "the tree view exists");
    // The dialog manager draws a child's WS_BORDER as a sunken client edge instead.
    const bool borderAsEdge =
        (seen.tree.style & WS_BORDER) == 0 && (seen.tree.exStyle & WS_EX_CLIENTEDGE) != 0;
    checks.Equal(Hex(seen.tree.style | (borderAsEdge ? WS_BORDER : 0)), Hex(0x50810007),
                 "tree view style");
    checks.Expect(EqualRect(&seen.tree.rectInDialog, &seen.treeTemplateRect) != 0,
                  "tree view at 7, 7, 206 x 131 dialog units: " + Text(seen.tree.rectInDialog) +
                      " for " + Text(seen.treeTemplateRect));
    std::optional<std::vector<TreeItemSnapshot>> written = FileTree(output);
    checks.Expect(written.has_value(), "the written file reads back as a tree file");
    if (!written) {
        return;
    }
    checks.Equal(seen.treeCount, static_cast<int>(written->size()), "tree view item count");
    bool same = seen.items.size() == written->size();
    bool collapsed = true;
    for (std::size_t i = 0; same && i < written->size(); ++i) {
        same =
            seen.items[i].name == (*written)[i].name && seen.items[i].depth == (*written)[i].depth;
        collapsed = collapsed && !seen.items[i].expanded;
    }
    checks.Expect(same, "the view shows the written tree, node for node, in order");
    checks.Expect(collapsed, "every item is collapsed");
}

void RunExportCase(const cmp::test::PlugInLibrary& library, const ExportCase& test,
                   Checks& checks) {
    checks.Begin("export: " + test.name);
    ScratchFolder scratch("export-" + std::to_string(std::hash<std::string>{}(test.name)));
    if (test.prepare) {
        test.prepare(scratch);
    }
    const std::vector<std::string> before = scratch.Contents();
    std::string typed = test.typedName.empty() ? "" : scratch.File(test.typedName);
    if (test.pathLength != 0) {
        const std::size_t folderLength = scratch.File("").size();
        typed = scratch.File(std::string(test.pathLength - folderLength - 4, 'n') + ".cmp");
    }
    const std::string output = test.writtenName.empty() ? typed : scratch.File(test.writtenName);

    std::vector<DialogAnswer> script;
    if (test.saveDialogShown) {
        DialogAnswer save = Answer(DialogKind::SaveFile, DialogAction::Cancel);
        if (!typed.empty()) {
            save.action = DialogAction::ConfirmPath;
            save.path = typed;
        }
        if (test.afterSaveClosed) {
            save.afterClose = [&] { test.afterSaveClosed(scratch); };
        }
        script.push_back(save);
    }
    script.insert(script.end(), test.afterSave.begin(), test.afterSave.end());
    // While the result dialog shows, the file must be complete and the stream gone.
    bool fileCompleteAtShow = false;
    bool streamGoneAtShow = false;
    auto onShow = [&](DialogSnapshot& seen) {
        if (seen.kind == DialogKind::Result) {
            fileCompleteAtShow = FileTree(output).has_value();
            streamGoneAtShow = !fs::exists(TempStream);
        }
    };

    PlugInObject plugIn(library);
    ImportSpy spy(ModuleOf(library));
    checks.Expect(spy.Installed(), "the host can watch MessageBoxA and GetSaveFileNameA");
    ztModel model = MakeModel(test.model);
    const std::int32_t destroyedBefore = ztBuild_DestroyCount();
    const std::int32_t nullCallsBefore = ztBuild_NullHandleCalls();
    std::int32_t result = 0;
    std::vector<DialogSnapshot> seen;
    std::vector<std::string> problems;
    std::size_t unused = 0;
    {
        DialogDriver driver(script, onShow);
        result = host_abi::RunExport(plugIn.Get(), model);
        seen = driver.Seen();
        problems = driver.Problems();
        unused = driver.Unused();
    }
    const bool destroyed = ztBuild_DestroyCount() != destroyedBefore;
    checks.Equal(result, test.result, "RunExport result");
    checks.Equal(ztBuild_NullHandleCalls() - nullCallsBefore, 0, "model calls with a null handle");
    checks.Equal(ztBuild_DestroyCount() - destroyedBefore, test.resultDialogShown ? 1 : 0,
                 "ztModel_Destroy calls");
    if (!destroyed && model != nullptr) {
        ztModel_Destroy(model);
    }
    for (const std::string& problem : problems) {
        checks.Expect(false, problem);
    }
    checks.Equal(unused, std::size_t{0}, "dialogs that were expected but never came");

    // The save dialog, exactly as the plug-in asked for it.
    checks.Equal(spy.SaveDialogs().size(), std::size_t{test.saveDialogShown ? 1u : 0u},
                 "GetSaveFileNameA calls");
    if (!spy.SaveDialogs().empty()) {
        const SaveDialogCall& call = spy.SaveDialogs().front();
        CheckSaveDialogCall(call, checks);
        if (test.pathLength > 255) {
            checks.Expect(!call.returned && call.extendedError == FNERR_BUFFERTOOSMALL,
                          "the dialog fails for want of room: error " + Hex(call.extendedError));
        }
    }
    // The plug-in's own message boxes, in order.
    const std::vector<MessageBoxCall>& boxes = spy.MessageBoxes();
    checks.Equal(boxes.size(), test.boxes.size(), "MessageBoxA calls");
    for (std::size_t i = 0; i < boxes.size() && i < test.boxes.size(); ++i) {
        const std::string which = "message box " + std::to_string(i + 1);
        checks.Expect(boxes[i].owner == nullptr, which + " has no owner");
        checks.Equal(boxes[i].caption, std::string(test.boxes[i].caption), which + " caption");
        checks.Equal(Hex(boxes[i].type), Hex(test.boxes[i].type), which + " type");
        if (test.boxes[i].text != nullptr) {
            checks.Equal(boxes[i].text, std::string(test.boxes[i].text), which + " text");
        } else {
            checks.Expect(!boxes[i].text.empty(), which + " says why");
        }
    }
    const DialogSnapshot* resultDialog = nullptr;
    for (const DialogSnapshot& dialog : seen) {
        if (dialog.kind == DialogKind::Result) {
            resultDialog = &dialog;
        }
    }
    checks.Equal(resultDialog != nullptr, test.resultDialogShown, "result dialog shown");
    if (resultDialog != nullptr && test.fileWritten) {
        CheckResultDialog(*resultDialog, output, checks);
        checks.Expect(fileCompleteAtShow, "the file was complete when the dialog showed");
        checks.Expect(streamGoneAtShow, "the temporary stream was gone when the dialog showed");
    }
    if (resultDialog != nullptr && !test.fileWritten) {
        checks.Expect(resultDialog->treeCount > 0, "the tree shows although it was not written");
    }

    checks.Expect(!fs::is_regular_file(TempStream), "no temporary stream is left behind");
    if (!output.empty()) {
        checks.Equal(fs::is_regular_file(output), test.fileWritten, "output file exists");
    }
    if (test.fileWritten) {
        checks.Equal(
            spy.SaveDialogs().empty() ? std::string() : spy.SaveDialogs().front().chosenPath,
            output, "the path the dialog returned");
    }
    if (test.fileWritten) {
        checks.Expect(FileTree(output).has_value(), "the output is a readable tree file");
    }
    if (!test.fileWritten) {
        bool nothingNew = true;
        for (const std::string& name : scratch.Contents()) {
            nothingNew =
                nothingNew && std::find(before.begin(), before.end(), name) != before.end();
        }
        checks.Expect(nothingNew, "nothing was added to the working folder");
    }
}

std::vector<ExportCase> ExportCases() {
    const DialogAnswer pressContinue = Answer(DialogKind::Result, DialogAction::PressContinue);
    const DialogAnswer pressOk = Answer(DialogKind::MessageBox, DialogAction::Ok);
    std::vector<ExportCase> cases;
    cases.push_back({.name = "null model", .model = ModelChoice::Null, .result = -1});
    cases.push_back({.name = "empty model",
                     .model = ModelChoice::Empty,
                     .afterSave = {pressOk},
                     .boxes = {{EmptyCaption, EmptyText, Warning}}});
    cases.push_back({.name = "save dialog cancelled (a model of hardpoints only is not empty)",
                     .model = ModelChoice::OnlyHardpoints,
                     .saveDialogShown = true});
    cases.push_back({.name = "temporary stream cannot be created",
                     .prepare = [](const ScratchFolder&) { fs::create_directory(TempStream); },
                     .typedName = "blocked.cmp",
                     .afterSave = {pressOk},
                     .result = -1,
                     .saveDialogShown = true,
                     .boxes = {{StreamCaption, StreamText, Error}}});
    const std::pair<const char*, DialogAction> closings[] = {
        {"Continue", DialogAction::PressContinue},
        {"Escape", DialogAction::PressEscape},
        {"Enter", DialogAction::PressEnter},
        {"IDOK", DialogAction::CommandOk},
        {"the close box", DialogAction::CloseBox}};
    for (const auto& [how, action] : closings) {
        cases.push_back({.name = std::string("completed, closed with ") + how,
                         .model = ModelChoice::Hardpoints,
                         .typedName = "ship.cmp",
                         .afterSave = {Answer(DialogKind::Result, action)},
                         .saveDialogShown = true,
                         .resultDialogShown = true,
                         .fileWritten = true});
    }
    cases.push_back({.name = "default extension added",
                     .typedName = "cube",
                     .writtenName = "cube.cmp",
                     .afterSave = {pressContinue},
                     .saveDialogShown = true,
                     .resultDialogShown = true,
                     .fileWritten = true});
    cases.push_back(
        {.name = "existing file: the overwrite prompt, then replaced",
         .prepare =
             [](const ScratchFolder& scratch) {
                 std::ofstream(scratch.File("old.cmp")) << "not a tree file";
             },
         .typedName = "old.cmp",
         .afterSave = {Answer(DialogKind::MessageBox, DialogAction::Yes), pressContinue},
         .saveDialogShown = true,
         .resultDialogShown = true,
         .fileWritten = true});
    cases.push_back({.name = "model over the format's limits is refused",
                     .model = ModelChoice::OverLimit,
                     .typedName = "huge.cmp",
                     .afterSave = {pressOk},
                     .result = -1,
                     .saveDialogShown = true,
                     .boxes = {{StreamCaption, nullptr, Error}}});
    // The longest path the dialog can return reaches the file whole; one more character
    // and the dialog fails, which ends the run like a cancel.
    cases.push_back({.name = "path of 255 characters",
                     .pathLength = 255,
                     .afterSave = {pressContinue},
                     .saveDialogShown = true,
                     .resultDialogShown = true,
                     .fileWritten = true});
    cases.push_back({.name = "path of 256 characters", .pathLength = 256, .saveDialogShown = true});
    // The folder vanishes after it was chosen (a drive removed, say): the tree cannot be
    // written; the dialog still shows it, then the user is told.
    cases.push_back(
        {.name = "tree file cannot be written",
         .prepare =
             [](const ScratchFolder& scratch) { fs::create_directory(scratch.Path() / "gone"); },
         .typedName = "gone\\out.cmp",
         .afterSaveClosed =
             [](const ScratchFolder& scratch) { fs::remove(scratch.Path() / "gone"); },
         .afterSave = {pressContinue, pressOk},
         .result = -1,
         .saveDialogShown = true,
         .resultDialogShown = true,
         .boxes = {{TreeCaption, nullptr, Error}}});
    return cases;
}

}  // namespace

void RunExportChecks(const cmp::test::PlugInLibrary& library, Checks& checks,
                     const std::string& filter) {
    for (const ExportCase& test : ExportCases()) {
        if (filter.empty() || test.name.find(filter) != std::string::npos) {
            RunExportCase(library, test, checks);
        }
    }
}
