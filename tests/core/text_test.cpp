#include "core/text.h"

#include <gtest/gtest.h>

namespace cmp {
namespace {

TEST(Text, FoldsOnlyAsciiLetters) {
    EXPECT_EQ(FoldAsciiCase('A'), 'a');
    EXPECT_EQ(FoldAsciiCase('Z'), 'z');
    EXPECT_EQ(FoldAsciiCase('a'), 'a');
    // Neighbours of the letter ranges and bytes above 0x7F stay as they are.
    for (const char c : {'@', '[', '`', '{', '_', '0', static_cast<char>(0xC4),
                         static_cast<char>(0xE4), static_cast<char>(0xFF)}) {
        EXPECT_EQ(FoldAsciiCase(c), c) << static_cast<int>(c);
    }
}

TEST(Text, PrefixComparisonIgnoresAsciiCaseOnly) {
    struct Case {
        std::string_view text;
        std::string_view prefix;
        bool expected;
    } cases[] = {
        {"HpEngine01", "hpengine", true}, {"HPENGINE", "HpEngine", true},
        {"HpEngin", "HpEngine", false},   {"", "", true},
        {"\xC4pfel", "\xE4pfel", false},  {"Hp_Fixed", "hp_fixed_", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StartsWithIgnoringAsciiCase(c.text, c.prefix), c.expected) << c.text;
    }
}

TEST(Text, HexWordHasNoLeadingZeros) {
    EXPECT_EQ(HexWord(0x101), "0x101");
    EXPECT_EQ(HexWord(0), "0x0");
    EXPECT_EQ(HexWord(0xE492A733u), "0xE492A733");
}

}  // namespace
}  // namespace cmp
