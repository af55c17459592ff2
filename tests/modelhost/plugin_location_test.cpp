#include "modelhost/options.h"

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
    };
    for (const Case& c : cases) {
        ScratchFolder scratch(ScratchFolder::Enter::No);
        const fs::path root = scratch.GetPath();
        fs::create_directories(root / "bin");
        for (const std::string& file : c.present) {
            fs::create_directories((root / file).parent_path());
            WriteWholeFile(root / file, "not really a library");
        }
        const Result<std::string> found = FindDefaultPlugIn(root / "bin");
        ASSERT_TRUE(found) << c.name << ": " << found.message();
        EXPECT_EQ(found.value(), (root / c.expected).lexically_normal().string()) << c.name;
    }
}

// Neither there: the message names both places, the installed folder too.
TEST(DefaultPlugIn, WhenMissingTheMessageNamesEveryPlaceLookedIn) {
    ScratchFolder scratch(ScratchFolder::Enter::No);
    const fs::path root = scratch.GetPath();
    fs::create_directories(root / "bin");
    const Result<std::string> found = FindDefaultPlugIn(root / "bin");
    ASSERT_FALSE(found);
    EXPECT_EQ(found.message(),
              "cannot find the plug-in libcmpexport.so: it is neither beside "
              "modelhost ('" +
                  (root / "bin/libcmpexport.so").string() +
                  "') nor in the folder of an installed copy ('" +
                  (root / "lib/cmpexport").string() + "/'); name it with --plugin PATH");
}

TEST(DefaultPlugIn, TheInstalledFolderIsBelowTheProgramsSibling) {
    const auto candidates = DefaultPlugInCandidates("/opt/x/bin");
    ASSERT_EQ(candidates.size(), 2u);
    EXPECT_EQ(candidates[0], fs::path("/opt/x/bin/libcmpexport.so"));
    EXPECT_EQ(candidates[1], fs::path("/opt/x/lib/cmpexport/libcmpexport.so"));
}

}  // namespace

}  // namespace cmp
