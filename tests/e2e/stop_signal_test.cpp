// modelhost stopped by SIGTERM at any instant leaves neither the temporary mesh data file
// nor a staged tree file behind: at random moments, and in the narrowest window there is,
// between the creation of ___temp.vms and its entry in the list a stop empties.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/scratch_folder.h"

namespace cmp {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Starts `arguments` in the current folder without a display or input; gives its pid.
pid_t Start(const std::vector<std::string>& arguments) {
    const pid_t child = fork();
    if (child == 0) {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        std::freopen("/dev/null", "r", stdin);
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return child;
}

int Wait(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

// What a run left in the folder besides the model: nothing, after a stop.
std::vector<std::string> Leftovers() {
    std::vector<std::string> found;
    for (const fs::directory_entry& entry : fs::directory_iterator(".")) {
        const std::string name = entry.path().filename().string();
        if (name != "out.cmp") {
            found.push_back(name);
        }
    }
    return found;
}

// A plate of 100 x 100 vertices and 19,602 triangles: near the format's limits, so that
// the export's own files stand for a good part of the run.
std::string WritePlate(const fs::path& folder) {
    const fs::path path = folder / "plate.obj";
    std::ofstream obj(path);
    constexpr int Side = 100;
    for (int y = 0; y < Side; ++y) {
        for (int x = 0; x < Side; ++x) {
            obj << "v " << x << ' ' << y << " 0\n";
        }
    }
    obj << "o Plate\n";
    for (int y = 0; y + 1 < Side; ++y) {
        for (int x = 0; x + 1 < Side; ++x) {
            const int a = y * Side + x + 1;
            obj << "f " << a << ' ' << a + 1 << ' ' << a + Side << "\nf " << a + 1 << ' '
                << a + Side + 1 << ' ' << a + Side << '\n';
        }
    }
    return path.string();
}

std::vector<std::string> Export(const std::string& model) {
    return {MODELHOST_PATH, "--save-as", "out.cmp", model};
}

TEST(StopSignals, TwoHundredStopsAtRandomMomentsLeaveNothing) {
    ScratchFolder models(ScratchFolder::Enter::No, "plate");
    const std::string plate = WritePlate(models.GetPath());
    // The moments are spread over a whole run, as long as one takes here and now.
    std::chrono::microseconds whole{};
    {
        ScratchFolder scratch;
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(Wait(Start(Export(plate))), 0);
        whole = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - start);
    }
    const unsigned seed = std::random_device{}();
    std::printf("stops at random moments of a %lld us run, from seed %u\n",
                static_cast<long long>(whole.count()), seed);
    std::fflush(stdout);  // once: the children would write what is left in the buffer
    std::mt19937 random(seed);
    // Within the first four fifths of a run's length, so that most stops land in the
    // middle of one even when a loaded machine makes runs uneven.
    std::uniform_int_distribution<long long> delayMicroseconds(0, whole.count() * 4 / 5);
    int stoppedInTheMiddle = 0;
    for (int run = 0; run < 200; ++run) {
        ScratchFolder scratch;
        const pid_t child = Start(Export(plate));
        std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds(random)));
        kill(child, SIGTERM);
        const int status = Wait(child);
        stoppedInTheMiddle += WIFSIGNALED(status) ? 1 : 0;
        ASSERT_EQ(Leftovers(), std::vector<std::string>{}) << "run " << run << ", seed " << seed;
    }
    // Many runs must really have been stopped, or the test proves nothing.
    EXPECT_GT(stoppedInTheMiddle, 80);
}

// The narrowest window: the system call that creates ___temp.vms is made to take a while
// to return (strace's delayed exit), and the stop comes as soon as the file is there.
TEST(StopSignals, AStopJustAsTheStreamFileIsCreatedLeavesNothing) {
    // A machine may forbid tracing (a container without ptrace): then this probe cannot run.
    if (std::system("strace -qq -o /dev/null true >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "strace cannot trace here";
    }
    for (int run = 0; run < 5; ++run) {
        ScratchFolder scratch;
        std::vector<std::string> traced = {"strace",
                                           "-f",
                                           "-qq",
                                           "-o",
                                           "/dev/null",
                                           "-P",
                                           "___temp.vms",
                                           "-e",
                                           "trace=openat",
                                           "-e",
                                           "inject=openat:delay_exit=400000",
                                           "--"};
        for (const std::string& argument : Export(std::string(EXAMPLES_DIR) + "/ship.obj")) {
            traced.push_back(argument);
        }
        const pid_t tracer = Start(traced);
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!fs::exists("___temp.vms") && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(200us);
        }
        ASSERT_TRUE(fs::exists("___temp.vms")) << "the export never made its stream file";
        // modelhost is the tracer's child.
        std::ifstream children("/proc/" + std::to_string(tracer) + "/task/" +
                               std::to_string(tracer) + "/children");
        pid_t host = 0;
        ASSERT_TRUE(children >> host);
        kill(host, SIGTERM);
        Wait(tracer);
        EXPECT_EQ(Leftovers(), std::vector<std::string>{}) << "run " << run;
    }
}

}  // namespace
}  // namespace cmp
