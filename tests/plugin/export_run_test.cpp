// The export run in-process, with a recording interface: the paths that need a hand
// between the stages of a run, and the dialog's view of the disk.
#include "plugin/plugin.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>

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

// The chosen file is the temporary stream's, however it is spelt: refused before anything
// is written, and the model stays the caller's.
TEST(ExportRun, SavingAsTheTemporaryStreamIsRefused) {
    for (const std::string spelling :
         {"___temp.vms", "./___temp.vms", "out/../___temp.vms", "@/___temp.vms", "link.cmp"}) {
        ScratchFolder scratch;
        fs::create_directory("out");
        fs::create_symlink("___temp.vms", "link.cmp");
        RecordingInterface ui;
        ui.saveAnswer =
            spelling[0] == '@' ? scratch.GetPath().string() + spelling.substr(1) : spelling;
        ztModel model = CreateTestModel(BuildShip);
        EXPECT_EQ(RunExport(model, ui), -1) << spelling;
        ztModel_Destroy(model);
        EXPECT_EQ(ui.dialogCaption, "") << spelling;
        ASSERT_EQ(ui.messages.size(), 1u) << spelling;
        EXPECT_EQ(ui.messages[0].caption, TreeErrorCaption);
        EXPECT_EQ(ui.messages[0].type, MessageBoxError);
        EXPECT_EQ(ui.messages[0].text.rfind(std::string(SavedAsStreamText) + "\n", 0), 0u)
            << ui.messages[0].text;
        EXPECT_EQ(scratch.Contents(), (std::vector<std::string>{"link.cmp", "out"})) << spelling;
    }
}

// The message users know, with the file's full path and the system's reason below it.
TEST(ExportRun, AStreamFileThatCannotBeCreatedIsNamedBelowTheKnownMessage) {
    ScratchFolder scratch;
    fs::create_directory(TempStreamFileName);
    RecordingInterface ui;
    ui.saveAnswer = scratch / "ship.cmp";
    ztModel model = CreateTestModel(BuildShip);
    EXPECT_EQ(RunExport(model, ui), -1);
    ztModel_Destroy(model);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].caption, StreamErrorCaption);
    EXPECT_EQ(ui.messages[0].text,
              std::string(StreamNotCreatedText) + "\n" + (scratch / TempStreamFileName) +
                  ": a folder of that name is in the way (Is a directory); it is left alone");
    EXPECT_TRUE(fs::is_directory(TempStreamFileName));
}

// How a forked run ended: "signal N", "exit N".
std::string Ending(int status) {
    if (WIFSIGNALED(status)) {
        return "signal " + std::to_string(WTERMSIG(status));
    }
    return "exit " + std::to_string(WEXITSTATUS(status));
}

extern "C" void ExitSeven(int) {
    _exit(7);
}

// SIGINT or SIGTERM in the middle of a run (just before the result dialog's start-up,
// with the stream on disk): the stream file goes, and the process ends as it would have
// without the run: by the signal, through the handler it had, or not at all when it
// ignores the signal. Afterwards, and after a run that ends normally, the process has
// its own handlers back.
TEST(ExportRun, AStopBySignalRemovesTheStreamAndEndsAsTheProcessWould) {
    struct Case {
        int signal;
        void (*previous)(int);
        std::string ending;
        bool written;
    };
    const Case cases[] = {
        {SIGTERM, SIG_DFL, "signal " + std::to_string(SIGTERM), false},
        {SIGINT, SIG_DFL, "signal " + std::to_string(SIGINT), false},
        {SIGTERM, ExitSeven, "exit 7", false},
        {SIGINT, SIG_IGN, "exit 0", true},
    };
    for (const Case& c : cases) {
        const std::string name = std::string(strsignal(c.signal)) + " after " +
                                 (c.previous == SIG_DFL   ? "default"
                                  : c.previous == SIG_IGN ? "ignore"
                                                          : "a handler");
        ScratchFolder scratch;
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(c.signal, c.previous);
            RecordingInterface ui;
            ui.saveAnswer = scratch / "ship.cmp";
            bool streamThere = false;
            ui.beforeStartUp = [&] {
                streamThere = fs::is_regular_file(TempStreamFileName);
                raise(c.signal);
            };
            const std::int32_t result = RunExport(CreateTestModel(BuildShip), ui);
            _exit(result == 0 && streamThere ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_EQ(Ending(status), c.ending) << name;
        EXPECT_EQ(scratch.Contents(),
                  c.written ? std::vector<std::string>{"ship.cmp"} : std::vector<std::string>{})
            << name;
    }

    ScratchFolder scratch;
    const auto before = std::signal(SIGTERM, ExitSeven);
    RecordingInterface ui;
    ui.saveAnswer = scratch / "ship.cmp";
    EXPECT_EQ(RunExport(CreateTestModel(BuildShip), ui), 0);
    EXPECT_EQ(std::signal(SIGTERM, before), ExitSeven);
}

}  // namespace

}  // namespace cmp
