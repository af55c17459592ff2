// The version every program shows: the one project(... VERSION ...) in CMakeLists.txt
// sets, which the build passes to this test as PROJECT_VERSION.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "tests/support/scratch_folder.h"

namespace cmp {

namespace {

struct ProgramRun {
    int status;
    std::string out;
};

// Runs a command line with no input and standard error discarded.
ProgramRun Output(const std::string& command) {
    ProgramRun run{-1, ""};
    FILE* pipe = popen((command + " </dev/null 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        run.out.append(buffer, n);
    }
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n') + 1);
}

TEST(Version, EveryProgramShowsTheProjectsVersion) {
    ScratchFolder scratch;
    const std::string modelhost = MODELHOST_PATH;
    const std::string cmpinfo = CMPINFO_PATH;
    const std::string ship = std::string(EXAMPLES_DIR) + "/ship.obj";
    const std::string version = PROJECT_VERSION;
    struct Case {
        std::string command;
        std::string expected;
        bool firstLineOnly;
    } cases[] = {
        {modelhost + " --version", "modelhost " + version + "\n", false},
        // Like --help, --version needs no model and ignores what else is given.
        {modelhost + " --version --list missing.obj", "modelhost " + version + "\n", false},
        {modelhost + " --list " + ship, "modelhost " + version + "\n", true},
        {cmpinfo + " --version", "cmpinfo " + version + "\n", false},
        {cmpinfo + " --version missing.cmp", "cmpinfo " + version + "\n", false},
    };
    for (const Case& c : cases) {
        const ProgramRun run = Output(c.command);
        EXPECT_EQ(run.status, 0) << c.command;
        EXPECT_EQ(c.firstLineOnly ? FirstLine(run.out) : run.out, c.expected) << c.command;
    }
}

// The man pages are made from --help, which must therefore name every option.
TEST(Version, HelpNamesTheVersionOption) {
    for (const std::string program : {MODELHOST_PATH, CMPINFO_PATH}) {
        const ProgramRun run = Output(program + " --help");
        EXPECT_EQ(run.status, 0) << program;
        EXPECT_NE(run.out.find("--version"), std::string::npos) << program;
    }
}

}  // namespace

}  // namespace cmp
