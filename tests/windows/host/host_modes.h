// winhost's modes besides the checks.
#pragma once

#include <string>

#include "tests/support/plugin_library.h"

namespace cmp {

// Prints what a host lists for the plug-in: its kind and its title.
bool ListPlugIn(const cmp::PlugInLibrary& library);

// Exports every comparison model to `directory`\<name>.cmp, answering the dialogs;
// true when every export returned 0 and wrote its file.
bool WriteComparisonFiles(const cmp::PlugInLibrary& library, const std::string& directory);

// Runs one export of the hardpoint model with the save dialog and then the result
// dialog held open; each is released when a file named "release-save" respectively
// "release-result" appears in `directory`. For screenshots.
bool HoldDialogs(const cmp::PlugInLibrary& library, const std::string& directory);

}  // namespace cmp
