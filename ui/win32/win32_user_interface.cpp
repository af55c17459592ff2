#include "ui/win32/win32_user_interface.h"

namespace cmp {

namespace {

class Win32UserInterface final : public UserInterface {
  public:
    void ShowMessage(const std::string& text, const std::string& caption,
                     std::uint32_t type) override {
        // No owner: the host's window is not known to the plug-in.
        MessageBoxA(nullptr, text.c_str(), caption.c_str(), type);
    }

    std::optional<std::string> AskSavePath(const SaveDialogOptions& options) override {
        SaveFileRequest request(options);
        return request.Show();
    }

    void RunResultDialog(const std::string& caption,
                         const std::function<const NodeTree*()>& initialise) override {
        cmp::RunResultDialog(caption, initialise);
    }
};

}  // namespace

std::unique_ptr<UserInterface> CreateWin32UserInterface() {
    return std::make_unique<Win32UserInterface>();
}

}  // namespace cmp
