// The result dialog on its own: it runs the step it was handed in its start-up and
// shows what the step gives, whatever the step is.
#include "ui/user_interface.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace cmp {
namespace {

// Runs the start-up like a toolkit would and remembers what the view got.
class ShowingInterface : public UserInterface {
  public:
    void ShowMessage(const std::string&, const std::string&, std::uint32_t) override { ++messages; }
    std::optional<std::string> AskSavePath(const SaveDialogOptions&) override { return {}; }
    void RunResultDialog(const std::string& title,
                         const std::function<const NodeTree*()>& initialise) override {
        caption = title;
        shown = initialise();
    }

    std::string caption;
    const NodeTree* shown = nullptr;
    int messages = 0;
};

TEST(ResultDialog, ShowsWhatItsStartUpStepGives) {
    NodeTree tree;
    tree.InsertNode(NodeHandle(), "\\");
    struct Case {
        const char* what;
        ResultDialog::StartUpStep step;
        const NodeTree* shown;
    } cases[] = {
        {"a tree", [&tree] { return &tree; }, &tree},
        {"no tree", [] { return nullptr; }, nullptr},
        {"no step", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        ShowingInterface ui;
        ResultDialog dialog(ui, c.step);
        dialog.DoModal();
        EXPECT_EQ(ui.caption, "Quorvane CMP Exporter") << c.what;
        EXPECT_EQ(ui.shown, c.shown) << c.what;
        EXPECT_EQ(ui.messages, 0) << c.what << ": the dialog reports nothing itself";
    }
}

// The start-up runs inside a toolkit's callback, which nothing may cross: a step that
// throws ends the dialog unseen, and its exception comes out of DoModal once the
// toolkit has returned, for the plug-in's boundary to tell.
TEST(ResultDialog, AStepThatThrowsIsCarriedPastTheToolkit) {
    ShowingInterface ui;
    ResultDialog outOfMemory(ui, []() -> const NodeTree* { throw std::bad_alloc(); });
    EXPECT_THROW(outOfMemory.DoModal(), std::bad_alloc);
    EXPECT_EQ(ui.shown, nullptr);
    ResultDialog other(ui, []() -> const NodeTree* { throw std::runtime_error("x"); });
    EXPECT_THROW(other.DoModal(), std::runtime_error);
    EXPECT_EQ(ui.messages, 0);
}

TEST(ResultDialog, RunsItsStepOncePerStartUp) {
    ShowingInterface ui;
    int runs = 0;
    ResultDialog dialog(ui, [&runs] {
        ++runs;
        return nullptr;
    });
    dialog.DoModal();
    EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace cmp
