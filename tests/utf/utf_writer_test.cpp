#include "utf/utf_writer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"
#include "tests/utf/test_trees.h"
#include "utf/utf_layout.h"

namespace cmp {

namespace {

namespace fs = std::filesystem;

class UtfWriterTest : public ::testing::Test {
  protected:
    std::size_t Entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder_), {}));
    }

    ScratchFolder scratch_{ScratchFolder::Enter::No};
    fs::path folder_ = scratch_.GetPath();
};

TEST_F(UtfWriterTest, WritesTheLayoutAndReplacesAnOldFile) {
    const fs::path target = folder_ / "model.cmp";
    WriteWholeFile(target,
                   "an older, longer file that must go away completely, byte by byte, all of it");
    const NodeTree tree = InterleavedTree();
    const Status written = WriteUtfFile(tree, target.c_str());
    ASSERT_TRUE(written) << written.message();
    EXPECT_EQ(ReadWholeFileBytes(target), UtfLayout(tree).GetFileBytes());
    EXPECT_EQ(Entries(), 1u);  // no temporary file left beside it
}

TEST_F(UtfWriterTest, NeverStagesOverAFileOfTheUsers) {
    const fs::path target = folder_ / "model.cmp";
    WriteWholeFile(target.string() + ".tmp", "mine");
    WriteWholeFile(target.string() + ".tmp1", "mine too");
    const NodeTree tree = InterleavedTree();
    const Status written = WriteUtfFile(tree, target.c_str());
    ASSERT_TRUE(written) << written.message();
    EXPECT_EQ(ReadWholeFileBytes(target), UtfLayout(tree).GetFileBytes());
    EXPECT_EQ(ReadWholeFileBytes(target.string() + ".tmp"), (Bytes{'m', 'i', 'n', 'e'}));
    EXPECT_EQ(ReadWholeFileBytes(target.string() + ".tmp1").size(), 8u);
    EXPECT_EQ(Entries(), 3u);
}

TEST_F(UtfWriterTest, EmptyTreeWritesNothing) {
    const fs::path target = folder_ / "model.cmp";
    const Status written = WriteUtfFile(NodeTree(), target.c_str());
    EXPECT_FALSE(written);
    EXPECT_NE(written.message().find("no nodes"), std::string::npos) << written.message();
    EXPECT_EQ(Entries(), 0u);
    EXPECT_EQ(written.code(), ErrorCode::EmptyTree);
    EXPECT_EQ(WriteUtfFile(InterleavedTree(), nullptr).code(), ErrorCode::NoPath);
}

TEST_F(UtfWriterTest, FailuresKeepTheOldFileAndSayWhy) {
    struct Case {
        const char* what;
        std::string target;
        std::function<void(const fs::path&)> prepare;
        const char* reason;
        ErrorCode code;
    };
    const std::vector<Case> cases = {
        {"folder missing", (folder_ / "missing" / "model.cmp").string(), [](const fs::path&) {},
         "No such file or directory", ErrorCode::CannotCreate},
        {"temporary name taken by a folder", (folder_ / "model.cmp").string(),
         [](const fs::path& target) {
             WriteWholeFile(target, "old");
             fs::create_directory(target.string() + ".tmp");
         },
         "Is a directory", ErrorCode::CannotCreate},
        {"target is a folder with content", (folder_ / "model.cmp").string(),
         [](const fs::path& target) {
             fs::create_directory(target);
             WriteWholeFile(target / "inside", "old");
         },
         "cannot replace", ErrorCode::CannotReplace},
    };
    for (const Case& c : cases) {
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        c.prepare(c.target);
        const Status written = WriteUtfFile(InterleavedTree(), c.target.c_str());
        EXPECT_FALSE(written) << c.what;
        EXPECT_EQ(written.code(), c.code) << c.what;
        EXPECT_NE(written.message().find(c.reason), std::string::npos)
            << c.what << ": " << written.message();
        EXPECT_FALSE(fs::is_regular_file(c.target + ".tmp")) << c.what;
    }
    // The first existing target survived untouched.
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    const fs::path target = folder_ / "model.cmp";
    WriteWholeFile(target, "old");
    fs::create_directory(target.string() + ".tmp");
    EXPECT_FALSE(WriteUtfFile(InterleavedTree(), target.c_str()));
    EXPECT_EQ(ReadWholeFileBytes(target), (Bytes{'o', 'l', 'd'}));
}

// A write that runs out of room (here: the file size limit) is reported, the old file
// stays and no partial file is left. Runs in a child so the limit does not leak.
TEST_F(UtfWriterTest, ShortWriteKeepsTheOldFile) {
    const fs::path target = folder_ / "model.cmp";
    WriteWholeFile(target, "old");
    NodeTree tree;
    Attach(tree, tree.InsertNode(NodeHandle(), "big"), Bytes(1 << 20, 0x5A));

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const Status written = WriteUtfFile(tree, target.c_str());
        const bool sayswhy = !written && written.code() == ErrorCode::CannotWrite &&
                             written.message().find("File too large") != std::string::npos;
        ::_exit(sayswhy ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadWholeFileBytes(target), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(Entries(), 1u);
}

}  // namespace

}  // namespace cmp
