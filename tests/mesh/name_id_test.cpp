#include "mesh/mesh.h"

#include <gtest/gtest.h>

#include <string>

namespace cmp {

namespace {

struct TableRow {
    int index;
    std::uint32_t entry;
};

class NameIdTableRows : public ::testing::TestWithParam<TableRow> {};

TEST_P(NameIdTableRows, Entry) {
    EXPECT_EQ(NameIdTable()[GetParam().index], GetParam().entry);
}

INSTANTIATE_TEST_SUITE_P(KnownRows, NameIdTableRows,
                         ::testing::Values(TableRow{0, 0x00000000}, TableRow{1, 0x09073096},
                                           TableRow{2, 0x120E612C}, TableRow{3, 0x1B0951BA},
                                           TableRow{4, 0xFF6DC419}, TableRow{8, 0xFEDB8832},
                                           TableRow{16, 0xFDB71064}, TableRow{32, 0xFB6E20C8},
                                           TableRow{64, 0xF6DC4190}, TableRow{128, 0xEDB88320},
                                           TableRow{0x9E, 0x03B7BE43}, TableRow{0xDE, 0xF56BFFD3},
                                           TableRow{0xF1, 0x14BAC28A}, TableRow{255, 0x0702EF8D}));

// The table is linear over XOR: every entry follows from the eight single-bit rows.
TEST(NameIdTable, EveryEntryIsTheXorOfItsBitRows) {
    const auto& table = NameIdTable();
    for (int n = 0; n < 256; ++n) {
        std::uint32_t expected = 0;
        for (int bit = 0; bit < 8; ++bit) {
            if (n & (1 << bit)) {
                expected ^= table[1 << bit];
            }
        }
        EXPECT_EQ(table[n], expected) << "entry " << n;
    }
}

struct NameCase {
    std::string bytes;  // may hold a NUL, which ends the name
    std::uint32_t id;
};

class NameIdValues : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameIdValues, Identifier) {
    EXPECT_EQ(NameId(GetParam().bytes.c_str()), GetParam().id);
}

INSTANTIATE_TEST_SUITE_P(KnownNames, NameIdValues,
                         ::testing::Values(NameCase{"", 0x00000000}, NameCase{"abc", 0xEBB055C2},
                                           NameCase{"ABC", 0xEBB055C2}, NameCase{"aBc", 0xEBB055C2},
                                           NameCase{"a", 0xFCB7BE43}, NameCase{"A", 0xFCB7BE43},
                                           NameCase{"ab", 0x0A97486D},
                                           // Not case-folded above 0x7F.
                                           NameCase{"\xC4", 0x1C0BE924},
                                           NameCase{"\xE4", 0xE765C9EC},
                                           NameCase{std::string("ab\0cd", 5), 0x0A97486D}));

TEST(NameId, NullNameGivesZero) {
    EXPECT_EQ(NameId(nullptr), 0u);
}

// Folding covers exactly A to Z: the neighbours of that range, 32 apart like the
// letters, stay apart.
TEST(NameId, FoldsOnlyAsciiLetters) {
    for (char c = 'A'; c <= 'Z'; ++c) {
        const char upper[2] = {c, '\0'};
        const char lower[2] = {static_cast<char>(c + ('a' - 'A')), '\0'};
        EXPECT_EQ(NameId(upper), NameId(lower)) << c;
    }
    EXPECT_NE(NameId("@"), NameId("`"));
    EXPECT_NE(NameId("["), NameId("{"));
}

}  // namespace

}  // namespace cmp
