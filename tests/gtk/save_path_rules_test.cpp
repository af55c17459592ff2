#include "ui/gtk/save_path_rules.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

namespace cmp {

namespace {

TEST(SavePathRulesTest, ContainingFolder) {
    EXPECT_EQ(ContainingFolder("/tmp/out/model.cmp"), "/tmp/out");
    EXPECT_EQ(ContainingFolder("/model.cmp"), "/");
    EXPECT_EQ(ContainingFolder("model.cmp"), ".");
}

TEST(SavePathRulesTest, FilterGlobsSplitAndIgnoreCase) {
    EXPECT_EQ(FilterGlobs("*.cmp"), std::vector<std::string>{"*.[cC][mM][pP]"});
    EXPECT_EQ(FilterGlobs("*.*"), std::vector<std::string>{"*"});
    EXPECT_EQ(FilterGlobs(" *.cmp ;;*.Cma"),
              (std::vector<std::string>{"*.[cC][mM][pP]", "*.[cC][mM][aA]"}));
    EXPECT_EQ(FilterGlobs("*_1.x"), std::vector<std::string>{"*_1.[xX]"});
    EXPECT_TRUE(FilterGlobs("").empty());
}

// The globs go to GTK's own matcher; check that it reads them as meant.
TEST(SavePathRulesTest, GtkFilterMatchesNamesInAnyCase) {
    struct Case {
        const char* patterns;
        const char* name;
        bool shown;
    };
    const Case cases[] = {
        {"*.cmp", "ship.cmp", true},    {"*.cmp", "SHIP.CMP", true},
        {"*.cmp", "Ship.Cmp", true},    {"*.cmp", "ship.cmpx", false},
        {"*.cmp", "ship.cma", false},   {"*.cmp", "cmp", false},
        {"*.*", "README", true},        {"*.*", "ship.cmp", true},
        {"*.cmp;*.3db", "a.3DB", true}, {"*.cmp;*.3db", "a.obj", false},
    };
    for (const Case& c : cases) {
        GtkFileFilter* filter = gtk_file_filter_new();
        g_object_ref_sink(filter);
        for (const std::string& glob : FilterGlobs(c.patterns)) {
            gtk_file_filter_add_pattern(filter, glob.c_str());
        }
        GtkFileFilterInfo info{};
        info.contains = GTK_FILE_FILTER_DISPLAY_NAME;
        info.display_name = c.name;
        EXPECT_EQ(gtk_file_filter_filter(filter, &info) != FALSE, c.shown)
            << c.patterns << " " << c.name;
        g_object_unref(filter);
    }
}

}  // namespace

}  // namespace cmp
