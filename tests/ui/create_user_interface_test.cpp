#include <gtest/gtest.h>

#include <cstdlib>

#include "ui/console/console_user_interface.h"
#include "ui/console/tree_text.h"
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

}  // namespace

}  // namespace cmp
