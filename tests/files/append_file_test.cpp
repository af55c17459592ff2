#include "files/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>

#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"

namespace cmp {
namespace {

namespace fs = std::filesystem;

// Only a regular file ever receives the text; whatever else stands at the path is left
// as it was, and the failure says why.
TEST(AppendFile, OnlyARegularFileIsWrittenAndEveryRefusalSaysWhy) {
    struct Case {
        const char* what;
        std::function<void()> prepare;
        const char* why;  // null: appended
        std::string after;
    } cases[] = {
        {"nothing there", [] {}, nullptr, "line\n"},
        {"a file", [] { WriteWholeFile("t", "old\n"); }, nullptr, "old\nline\n"},
        {"a link to a file",
         [] {
             WriteWholeFile("target", "mine\n");
             fs::create_symlink("target", "t");
         },
         "Too many levels of symbolic links", ""},
        {"a folder", [] { fs::create_directory("t"); }, "Is a directory", ""},
        {"a FIFO without a reader", [] { ASSERT_EQ(mkfifo("t", 0600), 0); },
         "No such device or address", ""},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch;
        c.prepare();
        const Status appended = AppendToRegularFile("t", "line\n");
        if (c.why == nullptr) {
            ASSERT_TRUE(appended) << c.what << ": " << appended.message();
            EXPECT_EQ(ReadWholeFile("t"), c.after) << c.what;
            continue;
        }
        ASSERT_FALSE(appended) << c.what;
        EXPECT_EQ(appended.code(), ErrorCode::CannotWrite);
        EXPECT_EQ(appended.message(), std::string("cannot add to 't': ") + c.why) << c.what;
        if (fs::exists("target")) {
            EXPECT_EQ(ReadWholeFile("target"), "mine\n") << c.what;
        }
    }
}

}  // namespace
}  // namespace cmp
