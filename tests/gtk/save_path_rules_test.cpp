#include "ui/gtk/gtk_user_interface.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

namespace cmp {

namespace {

TEST(SavePathRulesTest, ContainingFolder) {
    EXPECT_EQ(ContainingFolder("/tmp/out/model.cmp"), "/tmp/out");
    EXPECT_EQ(ContainingFolder("/model.cmp"), "/");
    EXPECT_EQ(ContainingFolder("model.cmp"), ".");
}

// Where the dialog opens on a file the host named: its folder and name, or, when the
// folder is missing, the working folder with the name as typed, so that accepting it
// reports the missing folder instead of saving elsewhere.
TEST(SavePathRulesTest, InitialChoiceOpensOnTheNamedFile) {
    const auto isFolder = [](const std::string& path) {
        return path == "/work" || path == "/work/sub" || path == "/out" || path == "/";
    };
    struct Case {
        const char* given;
        const char* folder;
        const char* name;
    } cases[] = {
        {"kestrel.cmp", "/work", "kestrel.cmp"},
        {"kestrel", "/work", "kestrel"},
        {"sub/kestrel.cmp", "/work/sub", "kestrel.cmp"},
        {"/out/kestrel.cmp", "/out", "kestrel.cmp"},
        {"/kestrel.cmp", "/", "kestrel.cmp"},
        {"sub/", "/work/sub", ""},
        {"missing/kestrel.cmp", "/work", "missing/kestrel.cmp"},
        {"/nowhere/kestrel.cmp", "/work", "/nowhere/kestrel.cmp"},
    };
    for (const Case& c : cases) {
        const InitialSaveChoice choice = InitialSaveChoiceFor(c.given, "/work", isFolder);
        EXPECT_EQ(choice.folder, c.folder) << c.given;
        EXPECT_EQ(choice.name, c.name) << c.given;
    }
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
