#include "core/netstrings.h"

#include <gtest/gtest.h>

namespace cmp {
namespace {

using Items = std::vector<std::string>;

// Whatever bytes the items hold, separators and line breaks included, they come back.
TEST(Netstrings, AnyItemsComeBackAsTheyWent) {
    const std::string everyByte = [] {
        std::string bytes;
        for (int b = 1; b < 256; ++b) {
            bytes += static_cast<char>(b);
        }
        return bytes;
    }();
    const Items lists[] = {
        {},
        {""},
        {"ship.obj", "ship.mtl"},
        {"/a/b,c:d/12:x,", "line\nbreak", "", everyByte},
        {std::string(1000, ',')},
    };
    for (const Items& items : lists) {
        const std::optional<Items> decoded = DecodeNetstrings(EncodeNetstrings(items));
        ASSERT_TRUE(decoded.has_value()) << EncodeNetstrings(items);
        EXPECT_EQ(*decoded, items);
    }
    EXPECT_EQ(EncodeNetstrings({"a.obj", ""}), "5:a.obj,0:,");
}

// A text that is not a whole list is refused as a whole, never read past its end.
TEST(Netstrings, AnythingButAWholeListIsRefused) {
    for (std::string_view text : {
             "5",           "5:",          "5:a.obj",     "5:a.ob,",  "5:a.obj;",
             "5a.obj,",     ":a,",         "-1:,",        "+1:a,",    "05:a.obj,",
             "00:,",        " 1:a,",       "1:a,x",       "1:a,2:bc", "9999999999:a,",
             "4294967297:", "3:a,b,1:c,,", "1:a,1:b,1:c", "x",        ",",
         }) {
        EXPECT_FALSE(DecodeNetstrings(text).has_value()) << text;
    }
    EXPECT_EQ(DecodeNetstrings(""), Items{});
    EXPECT_EQ(DecodeNetstrings("0:,"), Items{""});
}

}  // namespace
}  // namespace cmp
