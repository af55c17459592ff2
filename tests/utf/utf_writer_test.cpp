#include "utf/utf.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "files/files.h"
#include "tests/support/child_process.h"
#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"
#include "tests/utf/test_trees.h"

namespace cmp {

namespace {

namespace fs = std::filesystem;

// What a folder holds, entry by entry (recursively, links not followed), as text that
// tells apart a regular file (with its permissions and content), a link (with its
// target), a named pipe, a folder: comparing two of them shows anything touched.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().lexically_relative(folder).string();
        struct stat status {};
        ::lstat(entry.path().c_str(), &status);
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
        if (S_ISLNK(status.st_mode)) {
            entries[name] = "link to " + fs::read_symlink(entry.path()).string();
        } else if (S_ISREG(status.st_mode)) {
            entries[name] = std::string("file ") + mode + ": " + ReadWholeFile(entry.path());
        } else if (S_ISFIFO(status.st_mode)) {
            entries[name] = "named pipe";
        } else if (S_ISDIR(status.st_mode)) {
            entries[name] = "folder";
        } else {
            entries[name] = "other";
        }
    }
    return entries;
}

void MakeNamedPipe(const fs::path& path) {
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0) << path;
}

struct ChildOutcome {
    bool finished = false;  // false: it hung and was killed, or died
    bool ok = false;
    ErrorCode code = ErrorCode::CannotWrite;
    std::string message;
};

// Runs WriteUtfFile in a child process, so that a write that blocks (opening a named
// pipe, say) fails the test after a few seconds instead of hanging it.
ChildOutcome WriteInChild(const NodeTree& tree, const fs::path& target) {
    int channel[2];
    if (::pipe(channel) != 0) {
        return {};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        ::alarm(10);
        const Status written = WriteUtfFile(tree, target.c_str());
        const std::string report =
            written ? std::string("ok")
                    : std::to_string(static_cast<int>(written.code())) + " " + written.message();
        (void)!::write(channel[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string report;
    char buffer[512];
    for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;) {
        report.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ChildOutcome outcome;
    outcome.finished = WIFEXITED(status) && WEXITSTATUS(status) == 0 && !report.empty();
    outcome.ok = report == "ok";
    if (outcome.finished && !outcome.ok) {
        const std::size_t space = report.find(' ');
        outcome.code = static_cast<ErrorCode>(std::stoi(report.substr(0, space)));
        outcome.message = report.substr(space + 1);
    }
    return outcome;
}

// Every slot of the staged-file list can be taken: nothing a write registered stayed.
bool StagedFileListIsEmpty() {
    std::vector<Result<std::unique_ptr<StagedFile>>> probes;
    bool allFree = true;
    for (std::size_t i = 0; i < MaxStagedFiles; ++i) {
        probes.push_back(StagedFile::Register("probe"));
        allFree = allFree && probes.back().ok();
    }
    return allFree;
}

// Runs `body` in a child process whose files may grow to at most `limit` bytes, with
// `onTooLarge` handling the signal a write past it raises, and tells whether `body`
// returned true. The limit and the handler stay in the child.
bool InChildWithFileSizeLimit(rlim_t limit, void (*onTooLarge)(int),
                              const std::function<bool()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, onTooLarge);
        const rlimit limits{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &limits);
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// `message` with the folder shown as "<>" and a staging file's random part as "*".
std::string Normalised(const std::string& message, const fs::path& folder) {
    std::string shown = message;
    for (std::size_t at; (at = shown.find(folder.string())) != std::string::npos;) {
        shown.replace(at, folder.string().size(), "<>");
    }
    return std::regex_replace(shown, std::regex("\\.[A-Za-z0-9]{6}\\.tmp'"), ".*.tmp'");
}

class UtfWriterTest : public ::testing::Test {
  protected:
    std::size_t Entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder_), {}));
    }
    void Renew() {
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }

    ScratchFolder scratch_{ScratchFolder::Enter::No};
    fs::path folder_ = scratch_.GetPath();
    const NodeTree tree_ = InterleavedTree();
    const Bytes bytes_ = UtfLayout(tree_).GetFileBytes();
};

TEST_F(UtfWriterTest, WritesTheLayoutAndReplacesAnOldFile) {
    const fs::path target = folder_ / "model.cmp";
    WriteWholeFile(target,
                   "an older, longer file that must go away completely, byte by byte, all of it");
    const Status written = WriteUtfFile(tree_, target.c_str());
    ASSERT_TRUE(written) << written.message();
    EXPECT_EQ(ReadWholeFileBytes(target), bytes_);
    EXPECT_EQ(Entries(), 1u);  // no temporary file left beside it
    EXPECT_TRUE(StagedFileListIsEmpty());
}

// Whatever stands beside the output under a name a staging file might have had (the
// user's own files, a link, a named pipe, a folder, the leftover of a killed run) is
// left exactly as it was: the bytes are staged under a fresh name of their own and never
// written through anything.
TEST_F(UtfWriterTest, NothingBesideTheOutputIsTouchedOrWrittenThrough) {
    struct Case {
        const char* what;
        std::function<void(const fs::path& target)> prepare;
    };
    const std::vector<Case> cases = {
        {"user's files named like old staging files",
         [](const fs::path& target) {
             WriteWholeFile(target.string() + ".tmp", "mine");
             WriteWholeFile(target.string() + ".tmp1", "mine too");
         }},
        {"link to a precious file",
         [](const fs::path& target) {
             WriteWholeFile(target.parent_path() / "precious.txt", "precious");
             fs::create_symlink("precious.txt", target.string() + ".tmp");
         }},
        {"named pipe", [](const fs::path& target) { MakeNamedPipe(target.string() + ".tmp"); }},
        {"folder", [](const fs::path& target) { fs::create_directory(target.string() + ".tmp"); }},
        {"a killed run's staging file",
         [](const fs::path& target) {
             WriteWholeFile(target.string() + ".Ab12Yz.tmp", "half a file");
         }},
    };
    for (const bool replacing : {false, true}) {
        for (const Case& c : cases) {
            Renew();
            const fs::path target = folder_ / "model.cmp";
            if (replacing) {
                WriteWholeFile(target, "old");
            }
            c.prepare(target);
            std::map<std::string, std::string> expected = Snapshot(folder_);
            expected.erase("model.cmp");

            const ChildOutcome outcome = WriteInChild(tree_, target);
            ASSERT_TRUE(outcome.finished) << c.what << ": the write hung or crashed";
            EXPECT_TRUE(outcome.ok) << c.what << ": " << outcome.message;
            EXPECT_EQ(fs::symlink_status(target).type(), fs::file_type::regular) << c.what;
            EXPECT_EQ(ReadWholeFileBytes(target), bytes_) << c.what;
            std::map<std::string, std::string> after = Snapshot(folder_);
            after.erase("model.cmp");
            EXPECT_EQ(after, expected) << c.what << (replacing ? ", replacing" : "");
        }
    }
}

// The staging file's name is the output's followed by a random part and ".tmp", so that
// a leftover is recognised; it is cut to fit the longest file name a folder takes.
TEST_F(UtfWriterTest, StagingNamesAreRecognisableAndFitTheFileNameLimit) {
    EXPECT_TRUE(InChildWithFileSizeLimit(16, SIG_IGN, [&] {
        const std::string message = WriteUtfFile(tree_, (folder_ / "model.cmp").c_str()).message();
        return Normalised(message, folder_) == "cannot write '<>/model.cmp.*.tmp': File too large";
    }));

    // Cut where the name would end inside a two-byte character: the character goes whole.
    const std::string accented = "x" + [] {
        std::string run;
        for (int i = 0; i < 124; ++i) {
            run += "\xC3\xA9";
        }
        return run;
    }() + ".cmp";
    Renew();
    EXPECT_TRUE(InChildWithFileSizeLimit(16, SIG_IGN, [&] {
        const std::string message = WriteUtfFile(tree_, (folder_ / accented).c_str()).message();
        const std::string expected =
            "cannot write '<>/" + accented.substr(0, 243) + ".*.tmp': File too large";
        return Normalised(message, folder_) == expected;
    }));

    for (const std::size_t length : {240u, 250u, 255u}) {
        Renew();
        const fs::path target = folder_ / (std::string(length - 4, 'n') + ".cmp");
        const Status written = WriteUtfFile(tree_, target.c_str());
        EXPECT_TRUE(written) << length << ": " << written.message();
        EXPECT_EQ(ReadWholeFileBytes(target), bytes_) << length;
        EXPECT_EQ(Entries(), 1u) << length;
    }
}

TEST_F(UtfWriterTest, EmptyTreeWritesNothing) {
    const fs::path target = folder_ / "model.cmp";
    const Status written = WriteUtfFile(NodeTree(), target.c_str());
    EXPECT_FALSE(written);
    EXPECT_NE(written.message().find("no nodes"), std::string::npos) << written.message();
    EXPECT_EQ(Entries(), 0u);
    EXPECT_EQ(written.code(), ErrorCode::EmptyTree);
    EXPECT_EQ(WriteUtfFile(tree_, nullptr).code(), ErrorCode::NoPath);
}

// A failure leaves everything as it was, says why naming the path, and, where something
// other than a regular file stands at the output, never opens it: a named pipe there
// would block the export, and a device or a folder would be swapped for a file.
TEST_F(UtfWriterTest, FailuresLeaveEverythingAsItWasAndSayWhy) {
    struct Case {
        const char* what;
        std::string target;  // relative to the folder
        std::function<void(const fs::path& folder)> prepare;
        ErrorCode code;
        const char* message;  // the whole message, as Normalised shows it
    };
    const std::vector<Case> cases = {
        {"folder missing", "missing/model.cmp", [](const fs::path&) {}, ErrorCode::CannotCreate,
         "cannot create '<>/missing/model.cmp.*.tmp': No such file or directory"},
        {"a line break in the missing folder's name", "new\nfolder/model.cmp",
         [](const fs::path&) {}, ErrorCode::CannotCreate,
         "cannot create '<>/new\\x0Afolder/model.cmp.*.tmp': No such file or directory"},
        {"folder is a file", "file/model.cmp",
         [](const fs::path& f) { WriteWholeFile(f / "file", "old"); }, ErrorCode::CannotCreate,
         "cannot create '<>/file/model.cmp.*.tmp': Not a directory"},
        {"output is a folder", "model.cmp",
         [](const fs::path& f) {
             fs::create_directory(f / "model.cmp");
             WriteWholeFile(f / "model.cmp" / "inside", "old");
         },
         ErrorCode::CannotReplace, "cannot replace '<>/model.cmp': it is a folder"},
        {"output is a named pipe", "model.cmp",
         [](const fs::path& f) { MakeNamedPipe(f / "model.cmp"); }, ErrorCode::CannotReplace,
         "cannot replace '<>/model.cmp': it is a named pipe"},
        {"output is a link to a device", "model.cmp",
         [](const fs::path& f) { fs::create_symlink("/dev/null", f / "model.cmp"); },
         ErrorCode::CannotReplace,
         "cannot replace '<>/model.cmp': it is a link to a device, '/dev/null'"},
        {"output is a link to a named pipe", "model.cmp",
         [](const fs::path& f) {
             MakeNamedPipe(f / "pipe");
             fs::create_symlink("pipe", f / "model.cmp");
         },
         ErrorCode::CannotReplace,
         "cannot replace '<>/model.cmp': it is a link to a named pipe, '<>/pipe'"},
        {"output is a link to nothing", "model.cmp",
         [](const fs::path& f) { fs::create_symlink("gone.cmp", f / "model.cmp"); },
         ErrorCode::CannotReplace,
         "cannot replace '<>/model.cmp': it is a link that leads nowhere: No such file or "
         "directory"},
        {"output has another name", "model.cmp",
         [](const fs::path& f) {
             WriteWholeFile(f / "model.cmp", "old");
             fs::create_hard_link(f / "model.cmp", f / "backup.cmp");
         },
         ErrorCode::CannotReplace,
         "cannot replace '<>/model.cmp': the file has 1 more name (a hard link), which would "
         "keep the old content; remove it first or choose another name"},
        {"output's link target has other names", "model.cmp",
         [](const fs::path& f) {
             WriteWholeFile(f / "real.cmp", "old");
             fs::create_hard_link(f / "real.cmp", f / "backup.cmp");
             fs::create_hard_link(f / "real.cmp", f / "backup2.cmp");
             fs::create_symlink("real.cmp", f / "model.cmp");
         },
         ErrorCode::CannotReplace,
         "cannot replace '<>/real.cmp': the file has 2 more names (hard links), which would "
         "keep the old content; remove it first or choose another name"},
        {"output is marked read-only", "model.cmp",
         [](const fs::path& f) {
             WriteWholeFile(f / "model.cmp", "old");
             ::chmod((f / "model.cmp").c_str(), 0444);
         },
         ErrorCode::CannotReplace,
         "cannot replace '<>/model.cmp': the file is read-only; make it writable or choose "
         "another name"},
        {"output's link target is marked read-only", "model.cmp",
         [](const fs::path& f) {
             WriteWholeFile(f / "real.cmp", "old");
             ::chmod((f / "real.cmp").c_str(), 0555);
             fs::create_symlink("real.cmp", f / "model.cmp");
         },
         ErrorCode::CannotReplace,
         "cannot replace '<>/model.cmp': the file is read-only; make it writable or choose "
         "another name"},
    };
    for (const Case& c : cases) {
        Renew();
        c.prepare(folder_);
        const std::map<std::string, std::string> before = Snapshot(folder_);

        const ChildOutcome outcome = WriteInChild(tree_, folder_ / c.target);
        ASSERT_TRUE(outcome.finished) << c.what << ": the write hung or crashed";
        EXPECT_FALSE(outcome.ok) << c.what;
        EXPECT_EQ(outcome.code, c.code) << c.what;
        EXPECT_EQ(Normalised(outcome.message, folder_), c.message) << c.what;
        EXPECT_EQ(Snapshot(folder_), before) << c.what;
    }
    EXPECT_TRUE(StagedFileListIsEmpty());
}

// What replaces a file keeps being what it was: its permissions, and a link stays a link
// whose target gets the new content, staged and swapped in the target's own folder.
TEST_F(UtfWriterTest, TheReplacedFileKeepsItsPermissionsAndLinksStayLinks) {
    struct Case {
        const char* what;
        std::function<void(const fs::path& folder)> prepare;
        const char* written;  // the regular file that gets the new content
        std::map<std::string, std::string> links;
        unsigned mode;
    };
    const auto file = [](const fs::path& path, unsigned mode) {
        WriteWholeFile(path, "old");
        ::chmod(path.c_str(), mode);
    };
    const std::vector<Case> cases = {
        {"private file",
         [&](const fs::path& f) { file(f / "model.cmp", 0600); },
         "model.cmp",
         {},
         0600},
        {"group-readable file",
         [&](const fs::path& f) { file(f / "model.cmp", 0640); },
         "model.cmp",
         {},
         0640},
        {"executable file",
         [&](const fs::path& f) { file(f / "model.cmp", 0755); },
         "model.cmp",
         {},
         0755},
        {"set-user-id file",
         [&](const fs::path& f) { file(f / "model.cmp", 04755); },
         "model.cmp",
         {},
         04755},
        {"set-group-id and sticky file",
         [&](const fs::path& f) { file(f / "model.cmp", 03640); },
         "model.cmp",
         {},
         03640},
        {"link into another folder",
         [&](const fs::path& f) {
             fs::create_directory(f / "store");
             file(f / "store" / "real.cmp", 0600);
             fs::create_symlink("store/real.cmp", f / "model.cmp");
         },
         "store/real.cmp",
         {{"model.cmp", "store/real.cmp"}},
         0600},
        {"chain of links",
         [&](const fs::path& f) {
             fs::create_directory(f / "store");
             file(f / "store" / "real.cmp", 0644);
             fs::create_symlink(f / "store" / "real.cmp", f / "store" / "middle.cmp");
             fs::create_symlink("store/middle.cmp", f / "model.cmp");
         },
         "store/real.cmp",
         {{"model.cmp", "store/middle.cmp"}, {"store/middle.cmp", "<>/store/real.cmp"}},
         0644},
    };
    for (const Case& c : cases) {
        Renew();
        c.prepare(folder_);
        std::map<std::string, std::string> expected = Snapshot(folder_);
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", c.mode);
        expected[c.written] =
            std::string("file ") + mode + ": " + std::string(bytes_.begin(), bytes_.end());
        for (const auto& [link, target] : c.links) {
            const std::string absolute =
                std::regex_replace(target, std::regex("<>"), folder_.string());
            EXPECT_EQ(expected[link], "link to " + absolute) << c.what;
        }

        const Status written = WriteUtfFile(tree_, (folder_ / "model.cmp").c_str());
        ASSERT_TRUE(written) << c.what << ": " << written.message();
        EXPECT_EQ(Snapshot(folder_), expected) << c.what;
    }
    EXPECT_TRUE(StagedFileListIsEmpty());
}

// Leaves of `sizes` bytes under one top-level node, each filled with its own byte, and
// when `onBranch` is not zero a payload of that many bytes on the branch itself.
NodeTree LeavesOfSizes(const std::vector<std::size_t>& sizes, std::size_t onBranch = 0) {
    NodeTree tree;
    const NodeHandle top = tree.InsertNode(NodeHandle(), "top");
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        Attach(tree, tree.InsertNode(top, "leaf" + std::to_string(i % 7)),
               Bytes(sizes[i], static_cast<std::uint8_t>(i * 37 + 1)));
    }
    if (onBranch > 0) {
        Attach(tree, top, Bytes(onBranch, 0xEE));
    }
    return tree;
}

// The file is the planned one byte for byte whatever the leaves' sizes and order, and its
// data block is every leaf's bytes in turn.
TEST_F(UtfWriterTest, EveryLeafReachesTheFileInOrderWhateverItsSize) {
    constexpr std::size_t large = 64 * 1024;
    struct Case {
        const char* what;
        std::vector<std::size_t> sizes;
        std::size_t onBranch;
    };
    const std::vector<Case> cases = {
        {"thousands of small leaves", std::vector<std::size_t>(3000, 48), 0},
        {"small and large mixed", {12, large - 1, 12, large, 12, large + 1, 1}, 0},
        {"large leaves first and last", {3 * large, 36, 8, 2 * large + 5}, 0},
        {"only a large leaf", {2 << 20}, 0},
        {"empty leaves between", {0, 40, 0, large, 0}, 0},
        {"a payload on the branch", {100, large}, 5},
    };
    const fs::path target = folder_ / "model.cmp";
    for (const Case& c : cases) {
        const NodeTree tree = LeavesOfSizes(c.sizes, c.onBranch);
        const Status written = WriteUtfFile(tree, target.c_str());
        ASSERT_TRUE(written) << c.what << ": " << written.message();
        const Bytes file = ReadWholeFileBytes(target);
        EXPECT_EQ(file, UtfLayout(tree).GetFileBytes()) << c.what;

        Bytes data;
        for (std::size_t i = 0; i < c.sizes.size(); ++i) {
            data.insert(data.end(), c.sizes[i], static_cast<std::uint8_t>(i * 37 + 1));
        }
        data.insert(data.end(), c.onBranch, 0);
        ASSERT_GE(file.size(), data.size()) << c.what;
        EXPECT_TRUE(
            std::equal(data.begin(), data.end(), file.end() - static_cast<long>(data.size())))
            << c.what;
        EXPECT_EQ(Entries(), 1u) << c.what;
    }
}

// A write that runs out of room (here: the file size limit) is reported, the old file
// stays and no partial file is left, whether a large leaf, many small ones or a large
// one after small ones meet the limit. Runs in a child so the limit does not leak.
TEST_F(UtfWriterTest, ShortWriteKeepsTheOldFile) {
    struct Case {
        const char* what;
        std::vector<std::size_t> sizes;
        rlim_t limit;
    };
    const std::vector<Case> cases = {
        {"a large leaf", {1 << 20}, 4096},
        {"small leaves", std::vector<std::size_t>(4000, 40), 96 * 1024},
        {"a large leaf after small ones", {40, 40, 40, 1 << 20}, 8192},
    };
    const fs::path target = folder_ / "model.cmp";
    for (const Case& c : cases) {
        Renew();
        WriteWholeFile(target, "old");
        const NodeTree tree = LeavesOfSizes(c.sizes);

        EXPECT_TRUE(InChildWithFileSizeLimit(c.limit, SIG_IGN, [&] {
            const Status written = WriteUtfFile(tree, target.c_str());
            return !written && written.code() == ErrorCode::CannotWrite &&
                   written.message().find("File too large") != std::string::npos &&
                   StagedFileListIsEmpty();
        })) << c.what;
        EXPECT_EQ(ReadWholeFileBytes(target), (Bytes{'o', 'l', 'd'})) << c.what;
        EXPECT_EQ(Entries(), 1u) << c.what;
    }
}

// While the bytes are being written, the staging file is in the list a signal handler
// empties: a handler that runs in the middle of the write (here: on SIGXFSZ, raised by
// the write itself past the file size limit) removes it, and the old file stays.
int entriesBeforeRemoval = -1;
int entriesAfterRemoval = -1;
const char* folderOfTheWrite = nullptr;

int CountEntries(const char* folder) {
    DIR* listing = ::opendir(folder);
    int count = 0;
    while (const dirent* entry = ::readdir(listing)) {
        count += entry->d_name[0] != '.';
    }
    ::closedir(listing);
    return count;
}

void RemoveOnSignal(int) {
    entriesBeforeRemoval = CountEntries(folderOfTheWrite);
    RemoveStagedFiles();
    entriesAfterRemoval = CountEntries(folderOfTheWrite);
}

TEST_F(UtfWriterTest, TheStagingFileIsRegisteredForSignalHandlersWhileItExists) {
    const fs::path target = folder_ / "model.cmp";
    WriteWholeFile(target, "old");
    NodeTree tree;
    Attach(tree, tree.InsertNode(NodeHandle(), "big"), Bytes(1 << 20, 0x5A));
    const std::string folder = folder_.string();
    folderOfTheWrite = folder.c_str();
    EXPECT_TRUE(InChildWithFileSizeLimit(4096, RemoveOnSignal, [&] {
        return !WriteUtfFile(tree, target.c_str()) && entriesBeforeRemoval == 2 &&
               entriesAfterRemoval == 1 && StagedFileListIsEmpty();
    }));
    EXPECT_EQ(ReadWholeFileBytes(target), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(Entries(), 1u);
}

// The staging file of a file only its owner may read is as private from its first byte:
// seen in the middle of the write, by the handler of the signal a write past the file
// size limit raises.
unsigned stagingModeSeen = 0;

void NoteStagingMode(int) {
    DIR* listing = ::opendir(folderOfTheWrite);
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        struct stat status {};
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0 &&
            ::stat((std::string(folderOfTheWrite) + "/" + name).c_str(), &status) == 0) {
            stagingModeSeen = status.st_mode & 07777;
        }
    }
    ::closedir(listing);
}

TEST_F(UtfWriterTest, ThePrivateFilesStagingFileIsPrivateWhileWritten) {
    const fs::path target = folder_ / "model.cmp";
    WriteWholeFile(target, "old");
    ::chmod(target.c_str(), 0600);
    NodeTree tree;
    Attach(tree, tree.InsertNode(NodeHandle(), "big"), Bytes(1 << 20, 0x5A));
    const std::string folder = folder_.string();
    folderOfTheWrite = folder.c_str();
    EXPECT_TRUE(InChildWithFileSizeLimit(4096, NoteStagingMode, [&] {
        return !WriteUtfFile(tree, target.c_str()) && stagingModeSeen == 0600;
    }));
    EXPECT_EQ(ReadWholeFileBytes(target), (Bytes{'o', 'l', 'd'}));
}

}  // namespace

// The system's fsync, failing with EIO while `failingSync` is set: a disk that loses the
// bytes on their way to it. Defined here, it takes the place of the C library's for the
// whole test program.
bool failingSync = false;

extern "C" int fsync(int descriptor) {
    if (failingSync) {
        errno = EIO;
        return -1;
    }
    return static_cast<int>(::syscall(SYS_fsync, descriptor));
}

namespace {

// Bytes the disk may not hold are never renamed over the file they replace.
TEST_F(UtfWriterTest, AFailedSyncKeepsTheOldFile) {
    const fs::path target = folder_ / "model.cmp";
    WriteWholeFile(target, "old");
    failingSync = true;
    const Status written = WriteUtfFile(tree_, target.c_str());
    failingSync = false;
    ASSERT_FALSE(written);
    EXPECT_EQ(written.code(), ErrorCode::CannotWrite);
    EXPECT_EQ(Normalised(written.message(), folder_),
              "cannot write '<>/model.cmp.*.tmp': Input/output error");
    EXPECT_EQ(ReadWholeFileBytes(target), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(Entries(), 1u);
}

// A file this user may not write, though the folder lets the rename replace it, is
// refused like one marked read-only. Only a user other than the superuser meets it.
TEST_F(UtfWriterTest, AFileThisUserMayNotWriteIsNotReplaced) {
    if (!RunningAsSuperuser()) {
        GTEST_SKIP() << "needs another user to own the file";
    }
    const fs::path target = folder_ / "model.cmp";
    WriteWholeFile(target, "old");
    ::chmod(folder_.c_str(), 0777);
    const ChildEnd end = RunInChild(
        [&] {
            const Status written = WriteUtfFile(tree_, target.c_str());
            return !written && written.code() == ErrorCode::CannotReplace &&
                           Normalised(written.message(), folder_) ==
                               "cannot replace '<>/model.cmp': the file is read-only; make it "
                               "writable or choose another name"
                       ? 0
                       : 1;
        },
        std::chrono::seconds(20), ChildUser::Other);
    EXPECT_TRUE(end.exited && end.status == 0) << end.status;
    EXPECT_EQ(ReadWholeFileBytes(target), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(Entries(), 1u);
}

}  // namespace

}  // namespace cmp
