#include <gtest/gtest.h>

#include <cstdlib>

#include "ui/user_interface.h"

namespace cmp {

namespace {

// Without a display every mode ends on the console, which never fails to start.
TEST(CreateUserInterface, FallsBackToTheConsoleWithoutADisplay) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    for (const char* mode : {"console", "gtk", "auto", "", "nonsense"}) {
        setenv("CMPEXPORT_UI", mode, 1);
        std::unique_ptr<UserInterface> ui = CreateUserInterface();
        ASSERT_NE(ui, nullptr) << mode;
        EXPECT_NE(dynamic_cast<ConsoleUserInterface*>(ui.get()), nullptr) << mode;
    }
    unsetenv("CMPEXPORT_UI");
}

TEST(DrawTree, DrawsEveryLevelWithItsConnectors) {
    NodeTree tree;
    NodeHandle first = tree.InsertNode({}, "first");
    NodeHandle a = tree.InsertNode(first, "a");
    tree.InsertNode(a, "a1");
    tree.InsertNode(a, "a2");
    NodeHandle b = tree.InsertNode(first, "b");
    tree.InsertNode(b, "b1");
    tree.InsertNode({}, "second");
    EXPECT_EQ(DrawTree(tree),
              "first\n"
              "├── a\n"
              "│   ├── a1\n"
              "│   └── a2\n"
              "└── b\n"
              "    └── b1\n"
              "second\n");
    EXPECT_EQ(DrawTree(NodeTree()), "(empty)\n");
}

// A name is the user's or a model file's: one that holds escape sequences or line
// breaks must neither command the terminal nor break the tree's lines.
TEST(DrawTree, ShowsControlCharactersInNamesEscaped) {
    struct Case {
        std::string name;
        const char* shown;
    } cases[] = {
        {"Hull", "Hull"},
        {"title\x1B]0;owned\x07", "title\\x1B]0;owned\\x07"},
        {"red\x1B[31m", "red\\x1B[31m"},
        {"two\nlines", "two\\x0Alines"},
        {"tab\tcr\rdel\x7F", "tab\\x09cr\\x0Ddel\\x7F"},
        {std::string("nul\0byte", 8), "nul\\x00byte"},
        {"Fl\xC3\xBCgel \xE2\x86\x92 \xF0\x9F\x9A\x80",
         "Fl\xC3\xBCgel \xE2\x86\x92 \xF0\x9F\x9A\x80"},
        {"csi\xC2\x9B"
         "31m",
         "csi\\xC2\\x9B31m"},                        // C1 control, valid UTF-8
        {"latin1 \xE9t\xE9", "latin1 \\xE9t\\xE9"},  // not UTF-8
        {"overlong\xC0\xAF", "overlong\\xC0\\xAF"},
        {"surrogate\xED\xA0\x80", "surrogate\\xED\\xA0\\x80"},
        {"cut\xE2\x86", "cut\\xE2\\x86"},
    };
    for (const Case& c : cases) {
        NodeTree tree;
        tree.InsertNode(tree.InsertNode({}, "\\"), c.name);
        EXPECT_EQ(DrawTree(tree), "\\\n└── " + std::string(c.shown) + "\n") << c.shown;
    }
}

}  // namespace

}  // namespace cmp
