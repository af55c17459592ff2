#include "tree/tree.h"

#include <gtest/gtest.h>

namespace cmp {
namespace {

TEST(MeshReference, FieldsLandAtTheirOffsetsAndComeBack) {
    const MeshReference written{60, 0xE492A733u, 0x0102, 0xA0B0};
    const Bytes record = EncodeMeshReference(written);
    ASSERT_EQ(record.size(), 60u);
    const Bytes expectedHead = {60, 0, 0, 0, 0x33, 0xA7, 0x92, 0xE4, 0,    0,
                                0,  0, 0, 0, 0,    0,    0x02, 0x01, 0xB0, 0xA0};
    EXPECT_EQ(Bytes(record.begin(), record.begin() + 20), expectedHead);
    EXPECT_EQ(Bytes(record.begin() + 20, record.end()), Bytes(40, 0));

    const std::optional<MeshReference> read = DecodeMeshReference(record);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->recordSize, 60u);
    EXPECT_EQ(read->libraryId, 0xE492A733u);
    EXPECT_EQ(read->firstMesh, 0x0102);
    EXPECT_EQ(read->meshCount, 0xA0B0);
}

TEST(MeshReference, AShortRecordDecodesToNothing) {
    EXPECT_FALSE(DecodeMeshReference(Bytes(59, 0)).has_value());
    EXPECT_FALSE(DecodeMeshReference(Bytes()).has_value());
}

}  // namespace
}  // namespace cmp
