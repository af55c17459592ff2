#include "standin/plugin_location.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"

namespace cmp {

namespace {

namespace fs = std::filesystem;

// modelhost in <scratch>/bin, as in an installed copy; a build tree has the plug-in
// beside the program instead.
TEST(DefaultPlugIn, BesideTheProgramFirstThenTheInstalledFolder) {
    const std::string beside = "bin/libcmpexport.so";
    const std::string installed = "lib/cmpexport/libcmpexport.so";
    struct Case {
        const char* name;
        std::vector<std::string> present;
        std::string expected;
    } cases[] = {
        {"a build tree", {beside}, beside},
        {"an installed copy", {installed}, installed},
        {"both: the one beside wins", {beside, installed}, beside},
        // Nothing there: the message then names the first place looked in.
        {"neither", {}, beside},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch(ScratchFolder::Enter::No);
        const fs::path root = scratch.GetPath();
        fs::create_directories(root / "bin");
        for (const std::string& file : c.present) {
            fs::create_directories((root / file).parent_path());
            WriteWholeFile(root / file, "not really a library");
        }
        EXPECT_EQ(FindDefaultPlugIn(root / "bin"), (root / c.expected).lexically_normal().string())
            << c.name;
    }
}

TEST(DefaultPlugIn, TheInstalledFolderIsBelowTheProgramsSibling) {
    const auto candidates = DefaultPlugInCandidates("/opt/x/bin");
    ASSERT_EQ(candidates.size(), 2u);
    EXPECT_EQ(candidates[0], fs::path("/opt/x/bin/libcmpexport.so"));
    EXPECT_EQ(candidates[1], fs::path("/opt/x/lib/cmpexport/libcmpexport.so"));
}

}  // namespace

}  // namespace cmp
