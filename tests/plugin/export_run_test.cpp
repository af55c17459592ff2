// The export run in-process, with a recording interface: the paths that need a hand
// between the stages of a run, and the dialog's view of the disk.
#include "plugin/export_run.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "plugin/temporary_stream.h"
#include "tests/plugin/plug_in_test_support.h"
#include "tests/plugin/recording_interface.h"

namespace cmp {

namespace {

namespace fs = std::filesystem;

TEST(ExportRun, SaveDialogAsksForACmpFileWithTheUsualRules) {
    SaveDialogOptions options = ExportSaveDialogOptions();
    EXPECT_EQ(options.title, "Export QV CMP");
    ASSERT_EQ(options.filters.size(), 2u);
    EXPECT_EQ(options.filters[0].description, "CMP Files (*.cmp)");
    EXPECT_EQ(options.filters[0].pattern, "*.cmp");
    EXPECT_EQ(options.filters[1].description, "All Files (*.*)");
    EXPECT_EQ(options.filters[1].pattern, "*.*");
    EXPECT_EQ(options.defaultExtension, "cmp");
    EXPECT_TRUE(options.overwritePrompt);
    EXPECT_TRUE(options.hideReadOnly);
    EXPECT_TRUE(options.pathMustExist);
    EXPECT_EQ(options.maxPathLength, 255u);
}

TEST(ExportRun, TheFileIsCompleteAndTheStreamGoneWhenTheDialogAppears) {
    ScratchFolder scratch;
    RecordingInterface ui;
    ui.saveAnswer = scratch / "ship.cmp";
    const std::int32_t destroyed = ztBuild_DestroyCount();
    EXPECT_EQ(RunExport(CreateTestModel(BuildShip), ui), 0);
    EXPECT_EQ(ztBuild_DestroyCount(), destroyed + 1);
    EXPECT_EQ(ui.dialogCaption, "Quorvane CMP Exporter");
    EXPECT_TRUE(ui.tempGoneWhenShown);
    EXPECT_EQ(ui.outputSizeWhenShown, fs::file_size(scratch / "ship.cmp"));
    EXPECT_GT(ui.nodesShown, 10u);
    EXPECT_TRUE(ui.messages.empty());
}

// A path the dialog could not have returned, from an interface that does not keep the
// limit, ends the run as a failed dialog would.
TEST(ExportRun, AnOverlongPathFromTheInterfaceEndsLikeACancel) {
    ScratchFolder scratch;
    RecordingInterface ui;
    ui.saveAnswer = scratch.GetPath().string() + "/" + std::string(250, 'x') + ".cmp";
    ztModel model = CreateTestModel(BuildShip);
    EXPECT_EQ(RunExport(model, ui), 0);
    ztModel_Destroy(model);
    EXPECT_EQ(ui.dialogCaption, "");
    EXPECT_TRUE(fs::is_empty(scratch.GetPath()));
}

// The failures after the stream was written: the dialog still runs (and, where the tree
// was built, shows it), then one error box says why, and the run gives -1. The model is
// destroyed as after every dialog.
TEST(ExportRun, FailuresInTheDialogStartUpAreReportedAfterIt) {
    struct Case {
        const char* name;
        std::string output;
        void (*meddle)();  // with the stream file, just before the dialog's start-up
        const char* caption;
        const char* textPart;
        bool treeShown;
    } cases[] = {
        {"stream gone before read-back", "ship.cmp", [] { fs::remove(TempStreamFileName); },
         "Error exporting VMS file", "Could not read the mesh data back", false},
        // The read-back refuses the file while it is still there: it must go all the same.
        {"stream grown past any possible size", "ship.cmp",
         [] { fs::resize_file(TempStreamFileName, 64u << 20); }, "Error exporting VMS file",
         "Could not read the mesh data back", false},
        {"folder does not exist", "missing/ship.cmp", nullptr, "Error exporting CMP file",
         "missing/ship.cmp: cannot create", true},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch;
        RecordingInterface ui;
        ui.saveAnswer = scratch / c.output;
        if (c.meddle != nullptr) {
            ui.beforeStartUp = c.meddle;
        }
        const std::int32_t destroyed = ztBuild_DestroyCount();
        EXPECT_EQ(RunExport(CreateTestModel(BuildShip), ui), -1) << c.name;
        EXPECT_EQ(ztBuild_DestroyCount(), destroyed + 1) << c.name;
        EXPECT_EQ(ui.nodesShown > 0, c.treeShown) << c.name;
        ASSERT_EQ(ui.messages.size(), 1u) << c.name;
        EXPECT_EQ(ui.messages[0].caption, c.caption) << c.name;
        EXPECT_EQ(ui.messages[0].type, MessageBoxError) << c.name;
        EXPECT_NE(ui.messages[0].text.find(c.textPart), std::string::npos)
            << c.name << ": " << ui.messages[0].text;
        EXPECT_TRUE(fs::is_empty(scratch.GetPath())) << c.name;
    }
}

}  // namespace

}  // namespace cmp
