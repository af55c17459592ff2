// modelhost.exe's answers to the DLL's own dialogs, in a process of the test's that loads
// the DLL as modelhost.exe does: the real save dialog opened on --save-as's path.
#include "modelhost/dialog_answers_windows.h"

#include <gtest/gtest.h>

#include "tests/windows/host/host_support.h"
#include "tests/windows/plugin_test.h"

namespace cmp {

namespace {

using DialogAnswersTest = PlugInTest;

TEST_F(DialogAnswersTest, TheWin32SaveDialogOpensOnThePathGivenOnce) {
    const HMODULE module = static_cast<HMODULE>(Library().NativeHandle());
    ASSERT_TRUE(OpenSaveDialogOn(module, "C:\\models\\given name.cmp").ok());
    const PlugInObject object(Library());
    auto* plugIn = static_cast<HostPlugIn*>(object.Get());
    // The dialog opens in the path's folder, its name in the box; the next one as always.
    for (const char* opened : {"given name.cmp", ""}) {
        DialogDriver driver({{DialogKind::SaveFile, DialogAction::Cancel, {}, {}}});
        EXPECT_EQ(plugIn->slots->runExport(plugIn, MakeModel(ModelChoice::Cube)), 0);
        ASSERT_EQ(driver.Seen().size(), 1u);
        EXPECT_EQ(driver.Seen().front().text, opened) << "the file name the dialog opened with";
    }
}

TEST_F(DialogAnswersTest, AnsweringRefusesAPlugInThatDoesNotCallTheDialogsItAnswers) {
    // The model library shows no dialogs: it calls none of the three.
    const Status answered = AnswerDialogsOnConsole(GetModuleHandleA("ztModelLib.dll"));
    ASSERT_FALSE(answered.ok());
    EXPECT_NE(answered.message().find("cannot answer the plug-in's dialogs"), std::string::npos);
}

}  // namespace

}  // namespace cmp
