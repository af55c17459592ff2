#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>

#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"

namespace cmp {

namespace {

namespace fs = std::filesystem;

// Folders made one after the other, at once, and in two processes that share nothing
// but the time they run at: never the same folder.
TEST(ScratchFolder, EveryFolderIsNewEvenAcrossProcesses) {
    std::set<fs::path> seen;
    {
        ScratchFolder first(ScratchFolder::Enter::No);
        ScratchFolder second(ScratchFolder::Enter::No);
        seen.insert(first.GetPath());
        seen.insert(second.GetPath());
    }
    ScratchFolder third(ScratchFolder::Enter::No);
    seen.insert(third.GetPath());
    EXPECT_EQ(seen.size(), 3u);

    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeEnds[0]);
        std::string name;
        {
            const ScratchFolder theirs(ScratchFolder::Enter::No);
            name = theirs.GetPath().string();
        }
        const bool sent =
            ::write(pipeEnds[1], name.data(), name.size()) == static_cast<ssize_t>(name.size());
        ::_exit(sent ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    std::string theirs;
    char piece[256];
    for (ssize_t got; (got = ::read(pipeEnds[0], piece, sizeof piece)) > 0;) {
        theirs.append(piece, static_cast<std::size_t>(got));
    }
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(seen.count(theirs), 0u) << theirs;
}

TEST(ScratchFolder, IsEnteredOnlyWhenAskedAndGoesWithAllItHolds) {
    const fs::path before = fs::current_path();
    for (const auto enter : {ScratchFolder::Enter::Yes, ScratchFolder::Enter::No}) {
        const bool entered = enter == ScratchFolder::Enter::Yes;
        fs::path made;
        {
            ScratchFolder scratch(enter);
            made = scratch.GetPath();
            EXPECT_TRUE(fs::is_directory(made));
            EXPECT_TRUE(fs::is_empty(made));
            EXPECT_EQ(fs::equivalent(fs::current_path(), made), entered);
            EXPECT_EQ(scratch / "a.cmp", (made / "a.cmp").string());
            fs::create_directories(made / "nested" / "deeper");
            WriteWholeFile(made / "nested" / "deeper" / "file", "x");
            fs::create_symlink("/dev/null", made / "link");
        }
        EXPECT_FALSE(fs::exists(fs::symlink_status(made))) << entered;
        EXPECT_EQ(fs::current_path(), before) << entered;
        EXPECT_TRUE(fs::exists("/dev/null"));
    }
}

TEST(WholeFile, WritesAndReadsEveryByteAndReplacesWhatWasThere) {
    const ScratchFolder scratch(ScratchFolder::Enter::No);
    const fs::path file = scratch.GetPath() / "file";
    const std::string binary("\0\r\n\xff\x1a end", 9);
    const struct {
        const char* name;
        std::string contents;
    } cases[] = {{"longer text", std::string(70000, 'a')},
                 {"bytes text mode would change", binary},
                 {"nothing", ""}};
    for (const auto& c : cases) {
        WriteWholeFile(file, c.contents);
        EXPECT_EQ(ReadWholeFile(file), c.contents) << c.name;
        EXPECT_EQ(ReadWholeFileBytes(file), Bytes(c.contents.begin(), c.contents.end())) << c.name;
    }
    WriteWholeFile(file, Bytes{0x00, 0x80, 0xff});
    EXPECT_EQ(ReadWholeFileBytes(file), (Bytes{0x00, 0x80, 0xff}));
}

TEST(WholeFile, MissingFileReadsEmptyAndAFailedWriteThrows) {
    const ScratchFolder scratch(ScratchFolder::Enter::No);
    EXPECT_EQ(ReadWholeFile(scratch.GetPath() / "missing"), "");
    EXPECT_TRUE(ReadWholeFileBytes(scratch.GetPath() / "missing").empty());
    EXPECT_THROW(WriteWholeFile(scratch.GetPath() / "no-folder" / "file", "x"), std::runtime_error);
    if (fs::exists("/dev/full")) {
        EXPECT_THROW(WriteWholeFile("/dev/full", "x"), std::runtime_error);
    }
}

}  // namespace

}  // namespace cmp
