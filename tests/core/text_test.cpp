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

// The one rule for names and paths shown to people: what a terminal could obey, and
// bytes that are not UTF-8, escaped; everything else kept, letters past ASCII included.
TEST(Text, TerminalTextEscapesWhatATerminalMustNotGet) {
    struct Case {
        std::string_view text;
        std::string_view shown;
        std::string_view lines;  // as TerminalLines shows it
    } cases[] = {
        {"Hull 01", "Hull 01", "Hull 01"},
        {"a\nb\tc", "a\\x0Ab\\x09c", "a\nb\\x09c"},
        {"\x1B]0;x\x07\x7F", "\\x1B]0;x\\x07\\x7F", "\\x1B]0;x\\x07\\x7F"},
        {"Gesch\xC3\xBCtz \xE2\x82\xAC \xF0\x9F\x9A\x80",
         "Gesch\xC3\xBCtz \xE2\x82\xAC \xF0\x9F\x9A\x80",
         "Gesch\xC3\xBCtz \xE2\x82\xAC \xF0\x9F\x9A\x80"},
        {"\xC2\x9B", "\\xC2\\x9B", "\\xC2\\x9B"},  // a C1 control in UTF-8
        {"\xC4pfel", "\\xC4pfel", "\\xC4pfel"},    // a code page's letter
        {"\xC0\xAF\xED\xA0\x80", "\\xC0\\xAF\\xED\\xA0\\x80",
         "\\xC0\\xAF\\xED\\xA0\\x80"},  // overlong, surrogate
        {"\xF4\x90\x80\x80\xE2\x82", "\\xF4\\x90\\x80\\x80\\xE2\\x82",
         "\\xF4\\x90\\x80\\x80\\xE2\\x82"},  // past U+10FFFF, cut short
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TerminalText(c.text), c.shown) << c.shown;
        EXPECT_EQ(TerminalLines(c.text), c.lines) << c.shown;
    }
}

}  // namespace
}  // namespace cmp
