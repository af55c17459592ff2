#include "files/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"

namespace cmp {
namespace {

namespace fs = std::filesystem;

std::unique_ptr<StagedFile> Listed(const std::string& path) {
    Result<std::unique_ptr<StagedFile>> listed = StagedFile::Register(path);
    EXPECT_TRUE(listed) << path.substr(0, 80) << ": " << listed.message();
    return listed ? std::move(listed.value()) : nullptr;
}

TEST(StagedFiles, RemovesWhatIsRegisteredAndNothingElse) {
    ScratchFolder scratch;
    WriteWholeFile("staged", "x");
    WriteWholeFile("forgotten", "x");
    WriteWholeFile("users", "x");
    const auto staged = Listed("staged");
    Listed("forgotten").reset();
    // Registered by absolute path: a change of folder does not matter.
    fs::create_directory("elsewhere");
    fs::current_path("elsewhere");
    RemoveStagedFiles();
    fs::current_path("..");
    EXPECT_FALSE(fs::exists("staged"));
    EXPECT_TRUE(fs::exists("forgotten"));
    EXPECT_TRUE(fs::exists("users"));
}

// A file that could not be removed on a stop is refused, saying why, rather than made;
// the longest path the system can remove is listed.
TEST(StagedFiles, WhatCannotBeListedIsRefusedWithTheReason) {
    ScratchFolder scratch;
    const std::string folder = fs::current_path().string() + "/";
    const std::size_t longest = MaxStagedPathLength - folder.size();
    EXPECT_NE(Listed(std::string(longest, 'p')), nullptr);

    const Result<std::unique_ptr<StagedFile>> tooLong =
        StagedFile::Register(std::string(longest + 1, 'p'));
    ASSERT_FALSE(tooLong);
    EXPECT_EQ(tooLong.code(), ErrorCode::CannotCreate);
    EXPECT_NE(tooLong.message().find("its full path is 4096 bytes long"), std::string::npos)
        << tooLong.message();
    {
        std::vector<std::unique_ptr<StagedFile>> all;
        for (std::size_t i = 0; i < MaxStagedFiles; ++i) {
            all.push_back(Listed("file"));
        }
        const Result<std::unique_ptr<StagedFile>> oneTooMany = StagedFile::Register("more");
        ASSERT_FALSE(oneTooMany);
        EXPECT_NE(oneTooMany.message().find("files are being written at once"), std::string::npos);
    }
    EXPECT_NE(Listed("room again"), nullptr);
    {
        const auto file = Listed("scoped");
        WriteWholeFile("scoped", "x");
    }
    RemoveStagedFiles();
    EXPECT_TRUE(fs::exists("scoped")) << "forgotten when its owner went";
}

}  // namespace
}  // namespace cmp
