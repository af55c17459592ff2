#include "files/files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>

#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"

namespace cmp {
namespace {

namespace fs = std::filesystem;

// Runs `body` in a child (which dumps no core), which must end by `signal`; gives whether
// it did.
template <class Body>
bool EndsBy(int signal, Body body) {
    const pid_t child = fork();
    if (child == 0) {
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == signal;
}

// Every signal that would end the process: a closed terminal, Ctrl+C and Ctrl+\, a kill,
// a broken pipe, the user's signals, the timers, the limits.
constexpr int Stops[] = {SIGHUP,  SIGINT,  SIGQUIT,   SIGTERM, SIGPIPE, SIGALRM,
                         SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ};

// A stop that comes while a file is being created waits until the file is in the list,
// so the stop removes it: no instant leaves it behind, and the process still ends by the
// signal. Told by a stop that comes before the creation starts, held back meanwhile.
TEST(StopSignals, AStopDuringCreationRemovesTheFileOnceItIsListed) {
    struct Case {
        const char* what;
        void (*create)(int signal);
    } cases[] = {
        {"a file listed by hand",
         [](int signal) {
             const StopSignalsHeld held;
             std::raise(signal);
             WriteWholeFile("made", "x");
             static auto staged = StagedFile::Register("made");
         }},
        {"a staging file",
         [](int signal) {
             const StopSignalsHeld held;
             std::raise(signal);
             static StagingFile staging;
             WriteDestination destination;
             destination.path = "out.cmp";
             if (!staging.Create(destination)) {
                 _exit(3);  // not by the signal: the test fails
             }
         }},
    };
    for (const int signal : Stops) {
        for (const Case& c : cases) {
            ScratchFolder scratch;
            EXPECT_TRUE(EndsBy(signal,
                               [&] {
                                   const StopSignalGuard guard;
                                   c.create(signal);
                               }))
                << c.what << ", " << strsignal(signal);
            EXPECT_TRUE(scratch.Contents().empty()) << c.what << ", " << strsignal(signal);
        }
    }
}

// A signal the process ignores stays ignored while a run has files.
TEST(StopSignals, AnIgnoredSignalStaysIgnored) {
    ScratchFolder scratch;
    EXPECT_TRUE(EndsBy(SIGTERM, [] {
        std::signal(SIGHUP, SIG_IGN);
        const StopSignalGuard guard;
        WriteWholeFile("made", "x");
        static auto staged = StagedFile::Register("made");
        std::raise(SIGHUP);
        if (std::filesystem::exists("made")) {
            std::raise(SIGTERM);
        }
    }));
    EXPECT_TRUE(scratch.Contents().empty());
}

}  // namespace
}  // namespace cmp
