#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "standin/model_store.h"

namespace cmp {

namespace {

// Every element is found at its index and stays where it was put, across the block
// boundaries (16, 48, 112, ... elements) and far beyond them.
TEST(StableArray, ElementsStayWhereTheyWerePut) {
    for (const std::size_t count : {0u, 1u, 15u, 16u, 17u, 47u, 48u, 49u, 112u, 1000u, 70000u}) {
        standin::StableArray<ztTriangleObject> array;
        std::vector<const ztTriangleObject*> placed;
        for (std::size_t i = 0; i < count; ++i) {
            const auto a = static_cast<std::uint16_t>(i);
            array.push_back(ztTriangleObject{{a, static_cast<std::uint16_t>(i >> 16), 7}});
            placed.push_back(&array[i]);
        }
        ASSERT_EQ(array.size(), count);
        for (std::size_t i = 0; i < count; ++i) {
            ASSERT_EQ(&array[i], placed[i]) << "element " << i << " of " << count << " moved";
            ASSERT_EQ(array[i].corners[0], static_cast<std::uint16_t>(i)) << i << " of " << count;
            ASSERT_EQ(array[i].corners[1], static_cast<std::uint16_t>(i >> 16))
                << i << " of " << count;
        }
    }
}

}  // namespace

}  // namespace cmp
