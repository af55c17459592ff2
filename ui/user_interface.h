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

#include "tree/tree.h"

namespace cmp {

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
    // Never called while the result dialog runs.
    virtual void ShowMessage(const std::string& text, const std::string& caption,
                             std::uint32_t type) = 0;

    // The full path the user confirmed, or nothing on cancel or failure. A path longer
    // than options.maxPathLength is a failure.
    virtual std::optional<std::string> AskSavePath(const SaveDialogOptions& options) = 0;

    // Runs the modal result dialog titled `caption`. `initialise` runs in the dialog's
    // start-up, before anything is shown; it builds and writes the tree and returns the
    // tree to show. Null means the start-up built nothing: the dialog then ends at once,
    // never shown (an empty tree would only puzzle the user before the run's error box).
    // The tree stays valid until this returns. `initialise` neither throws nor calls back
    // into this interface. Returns when the user has closed the dialog ("Continue",
    // Escape, Enter or the close box alike), or at once after a null start-up.
    virtual void RunResultDialog(const std::string& caption,
                                 const std::function<const NodeTree*()>& initialise) = 0;
};

// The interface for this process: on Windows the Win32 one. Elsewhere the environment
// variable CMPEXPORT_UI chooses: "console", "gtk", or "auto" (the default: GTK when
// DISPLAY or WAYLAND_DISPLAY is set and GTK starts, else the console). A GTK that
// cannot start falls back to the console with a note on stderr. Never null.
std::unique_ptr<UserInterface> CreateUserInterface();

}  // namespace cmp
