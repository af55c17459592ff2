#include "ui/user_interface.h"

#include <gtest/gtest.h>

namespace cmp {
namespace {

// The console, GTK and Win32 save dialogs all keep this rule; the Win32 one is
// Windows' own, checked under Wine with the same names.
TEST(DefaultExtension, OnlyANameWithoutAnyDotGetsIt) {
    struct Case {
        const char* typed;
        const char* expected;
    } cases[] = {
        {"ship", "ship.cmp"},
        {"ship.cmp", "ship.cmp"},
        {"ship.CMP", "ship.CMP"},
        {"ship.v2", "ship.v2"},  // the user's own extension stays
        {"ship.", "ship."},      // a trailing dot asks for none
        {".hidden", ".hidden"},  // a leading dot counts as an extension
        {"/tmp/.hidden", "/tmp/.hidden"},
        {"my.folder/ship", "my.folder/ship.cmp"},
        {"my.folder\\ship", "my.folder\\ship.cmp"},
        {"/tmp/dir.d/model", "/tmp/dir.d/model.cmp"},
        {"", ".cmp"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WithDefaultExtension(c.typed, "cmp"), c.expected) << c.typed;
    }
    EXPECT_EQ(WithDefaultExtension("ship", ""), "ship");
}

}  // namespace
}  // namespace cmp
