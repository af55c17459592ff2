// Whole exports through slot 3, as a user would run them: every path of a run, its
// dialogs answered by the dialog driver, what the plug-in asked of Windows recorded by
// the import spy, and the files left behind.
#pragma once

#include <string>

#include "tests/windows/host/checks.h"
#include "tests/windows/host/plugin_library.h"

// Runs every export case whose name contains `filter` (all when empty).
void RunExportChecks(PlugInLibrary& library, Checks& checks, const std::string& filter);
