#include "mesh/mesh.h"

#include <gtest/gtest.h>

namespace cmp {

namespace {

struct NameCase {
    const char* name;
    bool isHardpoint;
};

class HardpointNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(HardpointNames, PrefixTest) {
    EXPECT_EQ(IsHardpointName(GetParam().name), GetParam().isHardpoint)
        << (GetParam().name ? GetParam().name : "(null)");
}

INSTANTIATE_TEST_SUITE_P(
    Names, HardpointNames,
    ::testing::Values(NameCase{"Hp", true}, NameCase{"HP", true}, NameCase{"hP", true},
                      NameCase{"hp", true}, NameCase{"HpFixed01", true}, NameCase{"hpThing", true},
                      NameCase{"Body", false}, NameCase{"H", false}, NameCase{"h", false},
                      NameCase{"", false}, NameCase{"xhp", false}, NameCase{" hp", false},
                      NameCase{"Hq", false}, NameCase{"\xC8p", false}, NameCase{nullptr, false}));

}  // namespace

}  // namespace cmp
