// Checks of the DLL's boundary as a host meets it: its export, its dialog template,
// the four slots, the calling convention and the destroying destructor.
#pragma once

#include <string>

#include "tests/support/plugin_library.h"
#include "tests/windows/host/checks.h"

// Runs every boundary check whose name contains `filter` (all when empty).
void RunBoundaryChecks(const cmp::test::PlugInLibrary& library, Checks& checks,
                       const std::string& filter);
