// The text cmpinfo's JSON values print as: what scripts reading it may compare byte for byte.
#include "tools/cmpinfo/report/report.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace cmp {

namespace {

TEST(JsonTextTest, RealsPrintAsTheShortestTextOfTheFloat) {
    struct Case {
        float value;
        const char* text;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<Case> cases = {
        {0.1f, "0.1"},  // not the double's 0.10000000149011612
        {1.0f, "1"},
        {0.0f, "0"},
        {-0.0f, "-0"},
        {100.0f, "100"},
        {1e-4f, "1e-04"},
        {123456789.0f, "123456792"},
        {1e10f, "1e+10"},
        {3.4028235e38f, "3.4028235e+38"},
        {1e-45f, "1e-45"},
        {-0.7853982f, "-0.7853982"},
        {0.333333343f, "0.33333334"},
        {std::numeric_limits<float>::quiet_NaN(), "\"nan\""},
        {inf, "\"inf\""},
        {-inf, "\"-inf\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DumpJson(JsonReal(c.value)), c.text) << c.text;
        std::string inArray = "[";  // appended: GCC 12 at -O3 warns of "[" + string
        inArray += c.text;
        inArray += ",-3]";
        EXPECT_EQ(DumpJson(Json::array({JsonReal(c.value), -3})), inArray);
    }
}

TEST(JsonTextTest, StringsAreBytesAndAlwaysValidAscii) {
    struct Case {
        std::string bytes;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"plain \\ \"quoted\" /", R"("plain \\ \"quoted\" /")"},
        {"\n\t\r\b\f", R"("\u000A\u0009\u000D\u0008\u000C")"},
        {std::string("\x00\x01\x1F", 3), R"("\u0000\u0001\u001F")"},
        {"\x7F\x80\xC4\xFF", R"("\u007F\u0080\u00C4\u00FF")"},
        {"\xC3\xA9", R"("\u00C3\u00A9")"},  // UTF-8 text stays two bytes
        {"1.5e3", R"("1.5e3")"},            // digits inside a string are no number
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DumpJson(JsonBytes(c.bytes)), c.text) << c.text;
    }
}

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
