// The checks winhost runs against the plug-in DLL, and its other modes.
#pragma once

#include <string>

#include "standin/winhost/checks.h"
#include "standin/winhost/plugin_library.h"

// Runs every check whose name contains `filter` (all when empty).
void RunChecks(PlugInLibrary& library, Checks& checks, const std::string& filter);

// Prints what a host lists for the plug-in: its kind and its title.
bool ListPlugIn(PlugInLibrary& library);

// Exports every comparison model to `directory`\<name>.cmp, answering the dialogs;
// true when every export returned 0 and wrote its file.
bool WriteComparisonFiles(PlugInLibrary& library, const std::string& directory);

// Runs one export of the hardpoint model with the save dialog and then the result
// dialog held open; each is released when a file named "release-save" respectively
// "release-result" appears in `directory`. For screenshots.
bool HoldDialogs(PlugInLibrary& library, const std::string& directory);
