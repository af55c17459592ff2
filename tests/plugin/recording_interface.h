// A user interface for in-process runs: records what the user was shown, answers the
// save dialog, and checks the disk at the moment the result dialog would appear.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "plugin/plugin.h"
#include "ui/user_interface.h"

namespace cmp {

struct ShownMessage {
    std::string text;
    std::string caption;
    std::uint32_t type;
};

class RecordingInterface : public UserInterface {
  public:
    void ShowMessage(const std::string& text, const std::string& caption,
                     std::uint32_t type) override {
        messages.push_back({text, caption, type});
    }
    std::optional<std::string> AskSavePath(const SaveDialogOptions& options) override {
        ++saveDialogs;
        askedWith = options;
        return saveAnswer;
    }
    void RunResultDialog(const std::string& caption,
                         const std::function<const NodeTree*()>& initialise) override {
        dialogCaption = caption;
        if (beforeStartUp) {
            beforeStartUp();
        }
        const NodeTree* tree = initialise();
        nodesShown = tree ? tree->GetSize() : 0;
        tempGoneWhenShown = !std::filesystem::exists(TempStreamFileName);
        if (saveAnswer) {
            std::error_code ignored;
            outputSizeWhenShown = std::filesystem::file_size(*saveAnswer, ignored);
        }
    }

    std::optional<std::string> saveAnswer;
    std::function<void()> beforeStartUp;  // runs just before the dialog's start-up

    std::vector<ShownMessage> messages;
    int saveDialogs = 0;
    SaveDialogOptions askedWith;
    std::string dialogCaption;
    std::size_t nodesShown = 0;
    bool tempGoneWhenShown = false;
    std::uintmax_t outputSizeWhenShown = 0;
};

}  // namespace cmp
