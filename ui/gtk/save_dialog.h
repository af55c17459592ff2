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
// `preset` is the file the host named beforehand: the dialog opens on it (see
// InitialSaveChoiceFor), and with `preset.overwrite` replacing that very file needs no
// question; any other file chosen is asked about as usual.
//
// Returns the full path, or nothing on cancel or failure. GTK must be running.
struct SavePreset {
    std::optional<std::string> path;  // CMPEXPORT_SAVE_AS; empty counts as none
    bool overwrite = false;           // CMPEXPORT_OVERWRITE is "yes"
};
std::optional<std::string> RunGtkSaveDialog(const SaveDialogOptions& options,
                                            const SavePreset& preset = {});

// The preset as modelhost hands it over, in the console's variables.
SavePreset SavePresetFromEnvironment();

}  // namespace cmp
