#include "utf/utf.h"

#include "core/little_endian.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cmp {

namespace {

Bytes Block(const StringTable& table) {
    Bytes block(table.GetSize(), 0);
    table.CopyOut(block.data());
    return block;
}

TEST(StringTableTest, NewTableIsOneZeroByte) {
    StringTable table;
    EXPECT_EQ(table.GetSize(), 1u);
    EXPECT_EQ(Block(table), Bytes{0});
}

TEST(StringTableTest, RepeatedNameKeepsItsFirstOffset) {
    StringTable table;
    EXPECT_EQ(table.Add("VMeshLibrary"), 1u);
    EXPECT_EQ(table.Add("Cmpnd"), 14u);
    EXPECT_EQ(table.Add("VMeshLibrary"), 1u);
    EXPECT_EQ(table.GetSize(), 20u);
    const std::string expected("\0VMeshLibrary\0Cmpnd\0", 20);
    EXPECT_EQ(Block(table), Bytes(expected.begin(), expected.end()));
}

TEST(StringTableTest, EmptyNameTakesAByteOfItsOwn) {
    StringTable table;
    table.Add("a");
    EXPECT_EQ(table.Add(""), 3u);
    EXPECT_EQ(table.GetSize(), 4u);
    EXPECT_EQ(Block(table), (Bytes{0, 'a', 0, 0}));
}

TEST(StringTableTest, NamesAreCaseSensitiveAndByteExact) {
    StringTable table;
    EXPECT_EQ(table.Add("Root"), 1u);
    EXPECT_EQ(table.Add("root"), 6u);
    EXPECT_EQ(table.Add("Root "), 11u);
    EXPECT_EQ(table.Add("ROOT"), 17u);
    // A name goes into the block whole, a 0 byte in it included.
    const std::string withZero("a\0b", 3);
    EXPECT_EQ(table.Add(withZero), 22u);
    EXPECT_EQ(table.Add("a"), 26u);
    EXPECT_EQ(table.Add(withZero), 22u);
    EXPECT_EQ(table.Add("Root"), 1u);
    EXPECT_EQ(table.GetSize(), 28u);
}

void ExpectOffsetsOfALinearScan(std::size_t reserved) {
    StringTable table;
    table.Reserve(reserved);
    std::vector<std::pair<std::string, std::uint32_t>> scanned;
    std::uint32_t size = 1;
    for (int i = 0; i < 5000; ++i) {
        if (i == 2500) {
            table.Reserve(4000);  // with entries in it
        }
        std::string name = "n";
        name += std::to_string((i * 7919) % 1301);
        const std::uint32_t added = table.Add(name);
        bool known = false;
        for (const auto& entry : scanned) {
            if (entry.first == name) {
                known = true;
                EXPECT_EQ(added, entry.second) << name << " added again";
            }
        }
        if (!known) {
            EXPECT_EQ(added, size) << name << " added first";
            scanned.emplace_back(name, size);
            size += static_cast<std::uint32_t>(name.size()) + 1;
        }
    }
    ASSERT_EQ(table.GetSize(), size);
}

// The offsets must be exactly what a scan of the entries in order would give, whether
// the table grows as names come, was sized beforehand, or is sized again part way.
TEST(StringTableTest, OffsetsMatchALinearScan) {
    for (const std::size_t reserved : {std::size_t{0}, std::size_t{5000}, std::size_t{3}}) {
        SCOPED_TRACE(testing::Message() << "reserved " << reserved);
        ExpectOffsetsOfALinearScan(reserved);
    }
}

}  // namespace

}  // namespace cmp
