#include "files/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"

namespace cmp {
namespace {

namespace fs = std::filesystem;

// Writing to any spelling of a file, to a link to it or to another of its names would
// write that file; a name where nothing stands yet is judged by the name alone, its links
// followed.
TEST(Paths, EverySpellingLinkAndNameOfAFileIsThatFile) {
    ScratchFolder scratch;
    fs::create_directory("sub");
    const std::string here = scratch.GetPath().string();
    struct Case {
        const char* what;
        bool targetExists;
        std::string output;
        bool same;
    } cases[] = {
        {"the name itself", false, "target", true},
        {"through the folder", false, "./target", true},
        {"through a subfolder and back", false, "sub/../target", true},
        {"absolute", false, here + "/target", true},
        {"absolute with doubled slashes", false, here + "//sub/..//target", true},
        {"a link to it, where nothing stands yet", false, "alias", true},
        {"a link to a link to it", false, "alias2", true},
        {"a file of the same name elsewhere", false, "sub/target", false},
        {"a longer name", false, "target.cmp", false},
        {"another letter case", false, "TARGET", false},
        {"another file", false, here + "/other", false},
        {"the file itself, there", true, "./target", true},
        {"a hard link of it", true, "hard", true},
        {"a link to it, there", true, "alias", true},
        {"another file, there", true, "other", false},
    };
    for (const Case& c : cases) {
        fs::remove("target");
        fs::remove("hard");
        fs::remove("alias");
        fs::remove("alias2");
        fs::remove("other");
        fs::create_symlink("target", "alias");
        fs::create_symlink("alias", "alias2");
        if (c.targetExists) {
            WriteWholeFile("target", "x");
            WriteWholeFile("other", "x");
            fs::create_hard_link("target", "hard");
        }
        EXPECT_EQ(IsSameFile(c.output, "target"), c.same) << c.what;
    }
}

TEST(Paths, AFullPathIsAbsoluteAndKeepsTheName) {
    ScratchFolder scratch;
    EXPECT_EQ(FullPath("name"), scratch.GetPath().string() + "/name");
    EXPECT_EQ(FullPath("/elsewhere/name"), "/elsewhere/name");
}

}  // namespace
}  // namespace cmp
