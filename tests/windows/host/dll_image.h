// What a loaded DLL's image says about itself: the entries of its export directory and
// its exports by ordinal, as a host may look them up.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/plugin_library.h"

namespace cmp {

struct ExportEntry {
    std::uint32_t ordinal = 0;
    std::string name;  // empty for an entry exported by ordinal only
};

// The module a loaded plug-in library is.
HMODULE ModuleOf(const cmp::PlugInLibrary& library);

// Every entry of the export directory, read from the mapped image.
std::vector<ExportEntry> Exports(HMODULE module);

// The exported function by name or by ordinal; null when there is none.
void* ExportByName(HMODULE module, const char* name);
void* ExportByOrdinal(HMODULE module, WORD ordinal);

}  // namespace cmp
