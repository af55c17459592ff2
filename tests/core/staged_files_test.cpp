#include "core/staged_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"

namespace cmp {
namespace {

namespace fs = std::filesystem;

TEST(StagedFiles, RemovesWhatIsRegisteredAndNothingElse) {
    ScratchFolder scratch;
    WriteWholeFile("staged", "x");
    WriteWholeFile("forgotten", "x");
    WriteWholeFile("users", "x");
    const int staged = RegisterStagedFile("staged");
    const int forgotten = RegisterStagedFile("forgotten");
    ASSERT_GE(staged, 0);
    ASSERT_GE(forgotten, 0);
    ForgetStagedFile(forgotten);
    // Registered by absolute path: a change of folder does not matter.
    fs::create_directory("elsewhere");
    fs::current_path("elsewhere");
    RemoveStagedFiles();
    fs::current_path("..");
    EXPECT_FALSE(fs::exists("staged"));
    EXPECT_TRUE(fs::exists("forgotten"));
    EXPECT_TRUE(fs::exists("users"));
}

TEST(StagedFiles, AFullListOrAnOverlongPathIsOnlyNotCleanedUp) {
    ScratchFolder scratch;
    EXPECT_EQ(RegisterStagedFile(std::string(MaxStagedPathLength + 1, 'p')), -1);
    int slots[MaxStagedFiles];
    for (int& slot : slots) {
        slot = RegisterStagedFile("file");
        EXPECT_GE(slot, 0);
    }
    EXPECT_EQ(RegisterStagedFile("one too many"), -1);
    for (const int slot : slots) {
        ForgetStagedFile(slot);
    }
    ForgetStagedFile(-1);
    {
        const StagedFile file("scoped");
        WriteWholeFile("scoped", "x");
    }
    RemoveStagedFiles();
    EXPECT_TRUE(fs::exists("scoped")) << "forgotten when its owner went";
}

}  // namespace
}  // namespace cmp
