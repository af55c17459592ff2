#include "files/files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"

namespace cmp {
namespace {

namespace fs = std::filesystem;

// What stands at a taken name is judged by its first bytes; only a whole leftover goes,
// and only while the name still names the file judged: a file put in its place while it
// was being judged is somebody's and stays.
TEST(ExamineOccupant, RemovesOnlyTheFileJudgedAWholeLeftover) {
    struct Case {
        const char* what;
        Leftover verdict;
        bool replacedWhileJudged;
        Occupant occupant;
        const char* left;  // what the name holds afterwards; null: nothing
    };
    const std::vector<Case> cases = {
        {"a whole leftover", Leftover::Whole, false, Occupant::Gone, nullptr},
        {"an unfinished one", Leftover::Unfinished, false, Occupant::Unfinished, "judged"},
        {"a file of the user's", Leftover::None, false, Occupant::UsersFile, "judged"},
        {"a leftover replaced while judged", Leftover::Whole, true, Occupant::Gone, "user's"},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch;
        WriteWholeFile("name", "judged");
        WriteWholeFile("other", "user's");
        std::string seen;
        const OccupantReport report =
            ExamineOccupant("name", [&](BytePiece head, std::uint64_t length) {
                seen.assign(head.begin(), head.end());
                EXPECT_EQ(length, seen.size()) << c.what;
                if (c.replacedWhileJudged) {
                    std::rename("other", "name");
                }
                return c.verdict;
            });
        EXPECT_EQ(seen, "judged") << c.what;
        EXPECT_EQ(report.occupant, c.occupant) << c.what;
        if (c.left == nullptr) {
            EXPECT_FALSE(fs::exists("name")) << c.what;
        } else {
            EXPECT_EQ(ReadWholeFile("name"), c.left) << c.what;
        }
    }
}

}  // namespace
}  // namespace cmp
