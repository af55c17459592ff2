#include "files/staged_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

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
    const StagedFile staged("staged");
    ASSERT_TRUE(staged.IsRegistered());
    {
        const StagedFile forgotten("forgotten");
        ASSERT_TRUE(forgotten.IsRegistered());
    }
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
    EXPECT_FALSE(StagedFile(std::string(MaxStagedPathLength + 1, 'p')).IsRegistered());
    {
        std::vector<std::unique_ptr<StagedFile>> all;
        for (std::size_t i = 0; i < MaxStagedFiles; ++i) {
            all.push_back(std::make_unique<StagedFile>("file"));
            EXPECT_TRUE(all.back()->IsRegistered());
        }
        EXPECT_FALSE(StagedFile("one too many").IsRegistered());
    }
    EXPECT_TRUE(StagedFile("room again").IsRegistered());
    {
        const StagedFile file("scoped");
        WriteWholeFile("scoped", "x");
    }
    RemoveStagedFiles();
    EXPECT_TRUE(fs::exists("scoped")) << "forgotten when its owner went";
}

}  // namespace
}  // namespace cmp
