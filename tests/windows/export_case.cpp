#include "tests/windows/export_case.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/windows/host/dialog_driver.h"
#include "tests/windows/host/dll_image.h"
#include "tests/windows/host/host_slots.h"
#include "tests/windows/host/host_support.h"
#include "tests/windows/host/import_spy.h"

namespace cmp {

namespace fs = std::filesystem;

namespace {

void CheckSaveDialogCall(const SaveDialogCall& call) {
    static const std::string filters("CMP Files (*.cmp)\0*.cmp\0All Files (*.*)\0*.*\0\0", 45);
    EXPECT_EQ(call.structSize, 76ul) << "lStructSize";
    EXPECT_TRUE(call.owner == nullptr && call.instance == nullptr) << "no owner, no instance";
    EXPECT_TRUE(call.filterList == filters) << "filter list with its double NUL";
    EXPECT_TRUE(call.customFilterNull && call.maxCustomFilter == 0 && call.filterIndex == 0)
        << "no custom filter, filter index 0";
    EXPECT_EQ(call.fileBufferStart, std::string()) << "file buffer starts empty";
    EXPECT_EQ(call.maxFile, 256ul) << "nMaxFile";
    EXPECT_TRUE(!call.fileTitleBufferNull && call.fileTitleBufferStart.empty())
        << "file title buffer given, empty";
    EXPECT_EQ(call.maxFileTitle, 256ul) << "nMaxFileTitle";
    EXPECT_TRUE(call.initialDirNull) << "no initial folder";
    EXPECT_EQ(call.title, std::string("Export QV CMP")) << "title";
    EXPECT_EQ(Hex(call.flags), Hex(0x806)) << "Flags";
    EXPECT_EQ(call.defaultExtension, std::string("cmp")) << "default extension";
    EXPECT_TRUE(call.customData == 0 && call.hookNull && call.templateNameNull)
        << "no custom data, hook or template";
}

std::string Text(const RECT& rect) {
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + "-" +
           std::to_string(rect.right) + "," + std::to_string(rect.bottom);
}

bool Near(LONG a, LONG b) {
    return a - b <= 1 && b - a <= 1;
}

void CheckResultDialog(const DialogSnapshot& seen, const fs::path& output) {
    EXPECT_EQ(seen.caption, std::string(ResultCaption)) << "result dialog caption";
    EXPECT_TRUE(seen.ownerless) << "the result dialog has no owner";
    const DWORD mustHave = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    const DWORD mustNot = WS_CHILD | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    EXPECT_TRUE((seen.style & mustHave) == mustHave && (seen.style & mustNot) == 0)
        << "result dialog style " + Hex(seen.style);
    const LONG centreX = (seen.windowRect.left + seen.windowRect.right) / 2;
    const LONG centreY = (seen.windowRect.top + seen.windowRect.bottom) / 2;
    EXPECT_TRUE(Near(centreX, (seen.workArea.left + seen.workArea.right) / 2) &&
                Near(centreY, (seen.workArea.top + seen.workArea.bottom) / 2))
        << "the dialog is centred on the work area";
    EXPECT_TRUE(seen.button.exists && seen.button.className == "Button") << "the button exists";
    EXPECT_EQ(seen.button.text, std::string("Continue")) << "button text";
    EXPECT_EQ(Hex(seen.button.style & 0xFFFF0000u), Hex(0x50010000)) << "button style";
    EXPECT_TRUE((seen.button.style & 0xFu) <= BS_DEFPUSHBUTTON) << "a push button";
    EXPECT_TRUE(EqualRect(&seen.button.rectInDialog, &seen.buttonTemplateRect) != 0)
        << "button at 84, 143, 50 x 14 dialog units";
    EXPECT_TRUE(seen.buttonFocused) << "\"Continue\" has the focus";
    EXPECT_TRUE(seen.tree.exists && Upper(seen.tree.className) == Upper(WC_TREEVIEWA))
        << "the tree view exists";
    // The dialog manager draws a child's WS_BORDER as a sunken client edge instead.
    const bool borderAsEdge =
        (seen.tree.style & WS_BORDER) == 0 && (seen.tree.exStyle & WS_EX_CLIENTEDGE) != 0;
    EXPECT_EQ(Hex(seen.tree.style | (borderAsEdge ? WS_BORDER : 0)), Hex(0x50810007))
        << "tree view style";
    EXPECT_TRUE(EqualRect(&seen.tree.rectInDialog, &seen.treeTemplateRect) != 0)
        << "tree view at 7, 7, 206 x 131 dialog units: " + Text(seen.tree.rectInDialog) + " for " +
               Text(seen.treeTemplateRect);
    std::optional<std::vector<TreeItemSnapshot>> written = FileTree(output);
    EXPECT_TRUE(written.has_value()) << "the written file reads back as a tree file";
    if (!written) {
        return;
    }
    EXPECT_EQ(seen.treeCount, static_cast<int>(written->size())) << "tree view item count";
    bool same = seen.items.size() == written->size();
    bool collapsed = true;
    for (std::size_t i = 0; same && i < written->size(); ++i) {
        same =
            seen.items[i].name == (*written)[i].name && seen.items[i].depth == (*written)[i].depth;
        collapsed = collapsed && !seen.items[i].expanded;
    }
    EXPECT_TRUE(same) << "the view shows the written tree, node for node, in order";
    EXPECT_TRUE(collapsed) << "every item is collapsed";
}

}  // namespace

void RunExportCase(const cmp::PlugInLibrary& library, const ExportCase& test) {
    SCOPED_TRACE("export: " + test.name);
    ScratchFolder scratch(ScratchFolder::Enter::Yes,
                          "export-" + std::to_string(std::hash<std::string>{}(test.name)));
    if (test.prepare) {
        test.prepare(scratch);
    }
    const std::vector<std::string> before = scratch.Contents();
    std::string typed = test.typedName.empty() ? "" : scratch / test.typedName;
    if (test.pathLength != 0) {
        const std::size_t folderLength = (scratch / "").size();
        typed = scratch / (std::string(test.pathLength - folderLength - 4, 'n') + ".cmp");
    }
    const std::string output = test.writtenName.empty() ? typed : scratch / test.writtenName;

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
    EXPECT_TRUE(spy.Installed()) << "the host can watch MessageBoxA and GetSaveFileNameA";
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
    EXPECT_EQ(result, test.result) << "RunExport result";
    EXPECT_EQ(ztBuild_NullHandleCalls() - nullCallsBefore, 0) << "model calls with a null handle";
    EXPECT_EQ(ztBuild_DestroyCount() - destroyedBefore, test.resultDialogShown ? 1 : 0)
        << "ztModel_Destroy calls";
    if (!destroyed && model != nullptr) {
        ztModel_Destroy(model);
    }
    for (const std::string& problem : problems) {
        ADD_FAILURE() << problem;
    }
    EXPECT_EQ(unused, std::size_t{0}) << "dialogs that were expected but never came";

    // The save dialog, exactly as the plug-in asked for it.
    EXPECT_EQ(spy.SaveDialogs().size(), std::size_t{test.saveDialogShown ? 1u : 0u})
        << "GetSaveFileNameA calls";
    if (!spy.SaveDialogs().empty()) {
        const SaveDialogCall& call = spy.SaveDialogs().front();
        CheckSaveDialogCall(call);
        if (test.pathLength > 255) {
            EXPECT_FALSE(call.returned) << "the dialog fails for want of room";
            EXPECT_EQ(Hex(call.extendedError), Hex(FNERR_BUFFERTOOSMALL)) << "the dialog's error";
        }
    }
    // The plug-in's own message boxes, in order.
    const std::vector<MessageBoxCall>& boxes = spy.MessageBoxes();
    EXPECT_EQ(boxes.size(), test.boxes.size()) << "MessageBoxA calls";
    for (std::size_t i = 0; i < boxes.size() && i < test.boxes.size(); ++i) {
        const std::string which = "message box " + std::to_string(i + 1);
        EXPECT_EQ(boxes[i].owner, nullptr) << which + " has no owner";
        EXPECT_EQ(boxes[i].caption, std::string(test.boxes[i].caption)) << which + " caption";
        EXPECT_EQ(Hex(boxes[i].type), Hex(test.boxes[i].type)) << which + " type";
        if (test.boxes[i].text != nullptr && !test.boxes[i].wholeText) {
            EXPECT_EQ(boxes[i].text.rfind(test.boxes[i].text, 0), 0u)
                << which + " text begins so: " + boxes[i].text;
        } else if (test.boxes[i].text != nullptr) {
            EXPECT_EQ(boxes[i].text, std::string(test.boxes[i].text)) << which + " text";
        } else {
            EXPECT_FALSE(boxes[i].text.empty()) << which + " says why";
        }
    }
    const DialogSnapshot* resultDialog = nullptr;
    for (const DialogSnapshot& dialog : seen) {
        if (dialog.kind == DialogKind::Result) {
            resultDialog = &dialog;
        }
    }
    EXPECT_EQ(resultDialog != nullptr, test.resultDialogShown) << "result dialog shown";
    if (resultDialog != nullptr && test.fileWritten) {
        CheckResultDialog(*resultDialog, output);
        EXPECT_TRUE(fileCompleteAtShow) << "the file was complete when the dialog showed";
        EXPECT_TRUE(streamGoneAtShow) << "the temporary stream was gone when the dialog showed";
    }
    if (resultDialog != nullptr && !test.fileWritten) {
        EXPECT_GT(resultDialog->treeCount, 0) << "the tree shows although it was not written";
    }

    if (test.keptStream.empty()) {
        EXPECT_FALSE(fs::is_regular_file(TempStream)) << "no temporary stream is left behind";
    } else {
        std::ifstream kept(TempStream, std::ios::binary);
        const std::string content((std::istreambuf_iterator<char>(kept)),
                                  std::istreambuf_iterator<char>());
        EXPECT_EQ(content, test.keptStream) << "the file of the user's at the stream's name";
    }
    if (!output.empty()) {
        EXPECT_EQ(fs::is_regular_file(output), test.fileWritten) << "output file exists";
    }
    if (test.fileWritten) {
        EXPECT_EQ(spy.SaveDialogs().empty() ? std::string() : spy.SaveDialogs().front().chosenPath,
                  output)
            << "the path the dialog returned";
    }
    if (test.fileWritten) {
        EXPECT_TRUE(FileTree(output).has_value()) << "the output is a readable tree file";
    }
    if (!test.fileWritten) {
        bool nothingNew = true;
        for (const std::string& name : scratch.Contents()) {
            nothingNew =
                nothingNew && std::find(before.begin(), before.end(), name) != before.end();
        }
        EXPECT_TRUE(nothingNew) << "nothing was added to the working folder";
    }
}

}  // namespace cmp
