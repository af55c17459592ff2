// Two exports at once in one working folder, each in a process of its own that loads the
// built plug-in as a host does: both use "___temp.vms" there. Two models of the very
// same size make any mix-up of their streams invisible to a length check, so every
// output must be byte for byte the file its model makes alone, or the run must say that
// it failed; a wrong file with a success is what must never happen.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "host/HostPlugIn.h"
#include "tests/plugin/plug_in_test_support.h"

namespace cmp {
namespace {

namespace fs = std::filesystem;

constexpr int Pairs = 50;

struct Export {
    void (*build)(ztModel);
    std::string output;      // in the shared folder
    std::string transcript;  // what the console showed
};

// Forks a process that waits until the pipe `start` closes, then runs one export through the
// plug-in's slot table and exits 0 when it returned 0, else 1.
pid_t StartExport(const Export& run, const int start[2]) {
    const pid_t child = fork();
    if (child != 0) {
        return child;
    }
    close(start[1]);
    char ignored;
    while (read(start[0], &ignored, 1) > 0) {
    }
    setenv("CMPEXPORT_UI", "console", 1);
    setenv("CMPEXPORT_SAVE_AS", run.output.c_str(), 1);
    setenv("CMPEXPORT_OVERWRITE", "yes", 1);
    setenv("CMPEXPORT_TRANSCRIPT", run.transcript.c_str(), 1);
    HostPlugIn* plugIn = CreateFromPlugInLibrary();
    if (plugIn == nullptr) {
        _exit(2);
    }
    const std::int32_t result = plugIn->slots->runExport(plugIn, CreateTestModel(run.build));
    _exit(result == 0 ? 0 : 1);
}

// Runs the exports at once; their exit statuses in order.
std::vector<int> RunTogether(const std::vector<Export>& runs) {
    int start[2];
    if (pipe(start) != 0) {
        return {};
    }
    std::vector<pid_t> children;
    for (const Export& run : runs) {
        children.push_back(StartExport(run, start));
    }
    close(start[0]);
    close(start[1]);
    std::vector<int> statuses;
    for (const pid_t child : children) {
        int status = -1;
        waitpid(child, &status, 0);
        statuses.push_back(status);
    }
    return statuses;
}

TEST(ConcurrentExports, TwoModelsOfOneSizeInOneFolderNeverGetEachOthersData) {
    // The library is loaded once, before any fork; the object only shows it loaded.
    HostPlugIn* loaded = CreateFromPlugInLibrary();
    ASSERT_NE(loaded, nullptr);
    loaded->slots->destroy(loaded, 1);
    ScratchFolder scratch;
    const std::vector<Export> alone = {
        {BuildShip, scratch / "ship-alone.cmp", scratch / "alone-1.txt"},
        {BuildLongShip, scratch / "long-alone.cmp", scratch / "alone-2.txt"},
    };
    std::vector<std::string> expected;
    for (const Export& run : alone) {
        ASSERT_EQ(RunTogether({run}), std::vector<int>{0});
        expected.push_back(ReadWholeFile(run.output));
    }
    ASSERT_NE(expected[0], expected[1]);
    ASSERT_EQ(expected[0].size(), expected[1].size());

    int completed = 0;
    for (int pair = 0; pair < Pairs; ++pair) {
        const std::string tag = std::to_string(pair);
        const std::vector<Export> runs = {
            {BuildShip, scratch / ("ship-" + tag + ".cmp"), scratch / ("ship-" + tag + ".txt")},
            {BuildLongShip, scratch / ("long-" + tag + ".cmp"), scratch / ("long-" + tag + ".txt")},
        };
        const std::vector<int> statuses = RunTogether(runs);
        ASSERT_EQ(statuses.size(), 2u);
        for (std::size_t i = 0; i < runs.size(); ++i) {
            const std::string which = "pair " + tag + ", " + runs[i].output;
            ASSERT_TRUE(WIFEXITED(statuses[i])) << which;
            const int status = WEXITSTATUS(statuses[i]);
            if (status == 0) {
                ++completed;
                EXPECT_TRUE(ReadWholeFile(runs[i].output) == expected[i])
                    << which << ": a success with another file than the model makes alone";
                continue;
            }
            // A failure is told, and leaves no output.
            EXPECT_EQ(status, 1) << which;
            EXPECT_FALSE(fs::exists(runs[i].output)) << which;
            const std::vector<TranscriptRecord> shown = ReadTranscript(runs[i].transcript);
            ASSERT_FALSE(shown.empty()) << which;
            EXPECT_EQ(shown.back()[0], "message") << which;
        }
        EXPECT_FALSE(fs::exists(fs::symlink_status("___temp.vms"))) << "pair " << tag;
    }
    // The second run waits for the first one's stream: short exports all complete.
    EXPECT_EQ(completed, 2 * Pairs);
}

}  // namespace
}  // namespace cmp
