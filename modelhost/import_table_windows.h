// A loaded module's import table: the entries through which its calls of other DLLs'
// functions go. modelhost.exe points some of the plug-in's at its own answers to the
// plug-in's dialogs; the Windows tests watch the plug-in's calls through them.
#pragma once

#include <windows.h>

namespace cmp {

// The entry through which `module` calls `dll`!`function` (the DLL's name in any letter
// case), or null when it imports no such function by name.
void** FindImportEntry(HMODULE module, const char* dll, const char* function);

// Points `entry` at `replacement`; gives what it pointed at before, or null when the
// entry cannot be made writable (it is then unchanged).
void* ReplaceImportEntry(void** entry, void* replacement);

}  // namespace cmp
