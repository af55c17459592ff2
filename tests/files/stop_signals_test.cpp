#include "files/stop_signals.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "files/staged_files.h"
#include "files/staging_file.h"
#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"

namespace cmp {
namespace {

namespace fs = std::filesystem;

// Runs `body` in a child, which must end by SIGTERM; gives whether it did.
template <class Body>
bool EndsBySigterm(Body body) {
    const pid_t child = fork();
    if (child == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM;
}

// A stop that comes while a file is being created waits until the file is in the list,
// so the stop removes it: no instant leaves it behind. Told by a stop that comes before
// the creation starts, held back meanwhile.
TEST(StopSignals, AStopDuringCreationRemovesTheFileOnceItIsListed) {
    struct Case {
        const char* what;
        void (*create)();
    } cases[] = {
        {"a file listed by hand",
         [] {
             const StopSignalsHeld held;
             std::raise(SIGTERM);
             WriteWholeFile("made", "x");
             static StagedFile staged("made");
         }},
        {"a staging file",
         [] {
             const StopSignalsHeld held;
             std::raise(SIGTERM);
             static StagingFile staging;
             WriteDestination destination;
             destination.path = "out.cmp";
             if (!staging.Create(destination)) {
                 _exit(3);  // not by the signal: the test fails
             }
         }},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch;
        EXPECT_TRUE(EndsBySigterm([&] {
            const StopSignalGuard guard;
            c.create();
        })) << c.what;
        EXPECT_TRUE(scratch.Contents().empty()) << c.what;
    }
}

}  // namespace
}  // namespace cmp
