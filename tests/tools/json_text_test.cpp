// The text cmpinfo's JSON values print as: what scripts reading it may compare byte for byte.
#include "tools/cmpinfo/json_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace cmp {

namespace {

TEST(JsonTextTest, ObjectsKeepTheirOrderAndIntegersTheirDigits) {
    const Json value = {{"name", JsonBytes("a\"b\\c\n\xC4")},
                        {"values",
                         {JsonReal(-0.0f), JsonReal(0.1f),
                          JsonReal(std::numeric_limits<float>::infinity()), -3, true}},
                        {"big", std::numeric_limits<std::uint64_t>::max()},
                        {"empty", Json::object()}};
    EXPECT_EQ(DumpJson(value),
              "{\"name\":\"a\\\"b\\\\c\\u000A\\u00C4\",\"values\":[-0,0.1,\"inf\",-3,true],"
              "\"big\":18446744073709551615,\"empty\":{}}");
}

}  // namespace

}  // namespace cmp
