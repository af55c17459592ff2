// The failures that strike between the stages of a run, made to happen for real
// through the built plug-in as a host loads it: a file of the user's stands where the mesh
// data file goes, the tree file's folder goes away while the run works, the
// tree file meets a full device. Each shows its message, returns -1, leaves no
// temporary or half-written file, and keeps a file that was already there.
//
// The folder goes away between the save dialog and the write, the moment at which the
// plug-in reads the model: this program puts its own ztModel_GetMaterialCount in front
// of the model library's (the plug-in calls it first thing after the save dialog), and
// it runs the test's action once before passing the call on.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <map>
#include <utility>

#include "host/HostPlugIn.h"
#include "tests/plugin/plug_in_test_support.h"

namespace cmp {
namespace {

std::function<void()> beforeModelIsRead;

}  // namespace
}  // namespace cmp

extern "C" int32_t ztModel_GetMaterialCount(ztModel model) {
    if (cmp::beforeModelIsRead) {
        std::exchange(cmp::beforeModelIsRead, nullptr)();
    }
    using Function = int32_t (*)(ztModel);
    static const auto library =
        reinterpret_cast<Function>(dlsym(RTLD_NEXT, "ztModel_GetMaterialCount"));
    return library(model);
}

namespace cmp {
namespace {

namespace fs = std::filesystem;

struct FailureCase {
    const char* name;
    std::string saveAs;                                // relative to the scratch folder
    std::function<void(const ScratchFolder&)> before;  // before the run
    std::function<void(const ScratchFolder&)> during;  // after the save dialog
    const char* caption;
    const char* textPart;
    const char* kept;       // besides "old.cmp", a file that was there and must stay unchanged
    bool treeShown = true;  // the result dialog showed a built tree before the error box
    bool dialogRan = true;  // the result dialog ran at all (and so destroyed the model)
};

std::vector<FailureCase> FailureCases() {
    const auto none = [](const ScratchFolder&) {};
    return {
        {"a file of the user's at the mesh data file's name", "old.cmp",
         [](const ScratchFolder& s) { WriteWholeFile(s / "___temp.vms", "old"); }, none,
         "Error exporting VMS file",
         "Could not open export file for some reason, check if it's not being used by another "
         "application!\n/tmp/",
         "___temp.vms", false, false},
        {"tree file's folder removed", "out/ship.cmp",
         [](const ScratchFolder& s) { fs::create_directory(s / "out"); },
         [](const ScratchFolder& s) { fs::remove(s / "out"); }, "Error exporting CMP file",
         "/out/ship.cmp: cannot create '", nullptr},
        {"tree file's folder moved away", "out/old.cmp",
         [](const ScratchFolder& s) {
             fs::create_directory(s / "out");
             WriteWholeFile(s.GetPath() / "out" / "old.cmp", "old");
         },
         [](const ScratchFolder& s) { fs::rename(s / "out", s / "moved"); },
         "Error exporting CMP file", ".tmp': No such file or directory", "moved/old.cmp"},
        {"tree file's name taken by a named pipe", "pipe.cmp",
         [](const ScratchFolder& s) { ::mkfifo((s / "pipe.cmp").c_str(), 0644); }, none,
         "Error exporting CMP file", "pipe.cmp': it is a named pipe", nullptr},
    };
}

// Every file under the folder, with its content (links by their target).
std::map<std::string, std::string> FilesUnder(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = fs::relative(entry.path(), folder).string();
        if (entry.is_symlink()) {
            files[name] = "-> " + fs::read_symlink(entry.path()).string();
        } else if (entry.is_regular_file()) {
            files[name] = ReadWholeFile(entry.path());
        }
    }
    return files;
}

TEST(FailurePaths, EachShowsItsMessageReturnsMinusOneAndLeavesNothingBehind) {
    for (const FailureCase& c : FailureCases()) {
        ScratchFolder scratch;
        WriteWholeFile(scratch / "old.cmp", "old");
        c.before(scratch);
        setenv("CMPEXPORT_UI", "console", 1);
        setenv("CMPEXPORT_SAVE_AS", (scratch / c.saveAs).c_str(), 1);
        setenv("CMPEXPORT_OVERWRITE", "yes", 1);
        setenv("CMPEXPORT_TRANSCRIPT", (scratch / "transcript.txt").c_str(), 1);
        beforeModelIsRead = [&] { c.during(scratch); };
        HostPlugIn* plugIn = CreateFromPlugInLibrary();
        ASSERT_NE(plugIn, nullptr);
        ztModel model = CreateTestModel(BuildShip);
        const std::int32_t destroyed = ztBuild_DestroyCount();

        EXPECT_EQ(plugIn->slots->runExport(plugIn, model), -1) << c.name;

        EXPECT_FALSE(beforeModelIsRead) << c.name << ": the model was never read";
        EXPECT_EQ(ztBuild_DestroyCount(), destroyed + (c.dialogRan ? 1 : 0))
            << c.name << ": the model is destroyed exactly when the result dialog ran";
        if (!c.dialogRan) {
            ztModel_Destroy(model);
        }
        plugIn->slots->destroy(plugIn, 1);
        // Save dialog, the result dialog when a tree was built, then one error box that
        // says why.
        const std::vector<TranscriptRecord> shown = ReadTranscript(scratch / "transcript.txt");
        const std::size_t count = c.treeShown ? 3u : 2u;
        ASSERT_EQ(shown.size(), count) << c.name;
        EXPECT_EQ(shown[0][0], "save-dialog") << c.name;
        if (c.treeShown) {
            EXPECT_EQ(shown[1][0], "result-dialog") << c.name;
        }
        const TranscriptRecord& box = shown[count - 1];
        ASSERT_EQ(box.size(), 4u) << c.name;
        EXPECT_EQ(box[0], "message") << c.name;
        EXPECT_EQ(box[1], "0x10") << c.name;
        EXPECT_EQ(box[2], c.caption) << c.name;
        EXPECT_NE(box[3].find(c.textPart), std::string::npos) << c.name << ": " << box[3];

        // Nothing but what was there: no mesh data file or link, no temporary tree file
        // (a link at its name is gone with it), no new tree file; the old ones untouched.
        std::map<std::string, std::string> files = FilesUnder(scratch.GetPath());
        files.erase("transcript.txt");
        for (const std::string& kept :
             {std::string("old.cmp"), std::string(c.kept ? c.kept : "")}) {
            if (!kept.empty()) {
                EXPECT_EQ(files[kept], "old") << c.name << ": " << kept;
                files.erase(kept);
            }
        }
        for (const auto& [name, content] : files) {
            ADD_FAILURE() << c.name << ": left behind " << name;
        }
    }
    unsetenv("CMPEXPORT_SAVE_AS");
    unsetenv("CMPEXPORT_TRANSCRIPT");
}

}  // namespace
}  // namespace cmp
