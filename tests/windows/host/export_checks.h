// Whole exports through slot 3, as a user would run them: every path of a run, its
// dialogs answered by the dialog driver, what the plug-in asked of Windows recorded by
// the import spy, and the files left behind.
#pragma once

#include <string>

#include "tests/support/plugin_library.h"
#include "tests/windows/host/checks.h"

// Runs every export case whose name contains `filter` (all when empty).
void RunExportChecks(const cmp::test::PlugInLibrary& library, Checks& checks,
                     const std::string& filter);
