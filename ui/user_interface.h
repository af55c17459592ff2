// The narrow interface through which the plug-in talks to the user. Three
// implementations: console (ui/console), GTK 3 (ui/gtk) and Win32 (ui/win32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tree/node_tree.h"

// Message box types, as the Win32 message box takes them: one OK button and an icon.
inline constexpr std::uint32_t MessageBoxWarning = 0x30;
inline constexpr std::uint32_t MessageBoxError = 0x10;

struct FileFilter {
    std::string description;  // "CMP Files (*.cmp)"
    std::string pattern;      // "*.cmp"
};

struct SaveDialogOptions {
    std::string title;
    std::vector<FileFilter> filters;  // the first one is active at first
    std::string defaultExtension;     // appended (with a dot) when a name has none
    bool overwritePrompt = false;     // ask before replacing an existing file
    bool hideReadOnly = false;
    bool pathMustExist = false;       // the folder must exist
    std::size_t maxPathLength = 255;  // a longer choice fails like a cancel
};

class UserInterface {
public:
    virtual ~UserInterface() = default;

    // Shows `text` with `caption` and the icon of `type` until the user dismisses it.
    virtual void ShowMessage(const std::string& text, const std::string& caption,
                             std::uint32_t type) = 0;

    // The full path the user confirmed, or nothing on cancel or failure.
    virtual std::optional<std::string> AskSavePath(const SaveDialogOptions& options) = 0;

    // Runs the modal result dialog titled `caption`. `initialise` runs in the dialog's
    // start-up, before anything is shown; it builds and writes the tree and returns the
    // tree to show (null: an empty view). Returns when the user has closed the dialog.
    virtual void RunResultDialog(const std::string& caption,
                                 const std::function<const NodeTree*()>& initialise) = 0;
};

// The interface for this process: on Windows the Win32 one; elsewhere GTK when a
// display is there and GTK starts, else the console. CMPEXPORT_UI=console|gtk forces one.
std::unique_ptr<UserInterface> CreateUserInterface();
