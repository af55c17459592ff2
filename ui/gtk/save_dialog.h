#pragma once

#include <optional>
#include <string>

#include "ui/user_interface.h"

namespace cmp {

// Runs a GTK file chooser in save mode, without an owner window, as `options` asks:
// title, filters (the first active; patterns match letters in any case), default
// extension, overwrite prompt, folder that must exist, path length limit.
//
// After the user confirms a name, the default extension is appended when the name has
// none; if the file so named exists and `options.overwritePrompt` is set, the user is
// asked again, since GTK checked the name without the extension. A missing folder is
// reported and the chooser stays open. A path longer than `options.maxPathLength` bytes
// is reported and ends the dialog as a cancel does.
//
// Returns the full path, or nothing on cancel or failure. GTK must be running.
std::optional<std::string> RunGtkSaveDialog(const SaveDialogOptions& options);

}  // namespace cmp
