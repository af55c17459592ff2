#include "ui/gtk/gtk_user_interface.h"

#include "ui/gtk/gtk_dialogs.h"

namespace cmp {

namespace {

class GtkUserInterface final : public UserInterface {
  public:
    void ShowMessage(const std::string& text, const std::string& caption,
                     std::uint32_t type) override {
        ShowGtkMessageBox(nullptr, text, caption, type);
    }

    std::optional<std::string> AskSavePath(const SaveDialogOptions& options) override {
        // The host's answer given beforehand opens the dialog on it; the person decides.
        return RunGtkSaveDialog(options, SavePresetFromEnvironment());
    }

    void RunResultDialog(const std::string& caption,
                         const std::function<const NodeTree*()>& initialise) override {
        RunGtkResultDialog(caption, initialise);
    }
};

}  // namespace

std::unique_ptr<UserInterface> CreateGtkUserInterface() {
    if (!StartGtk()) {
        return nullptr;
    }
    return std::make_unique<GtkUserInterface>();
}

}  // namespace cmp
