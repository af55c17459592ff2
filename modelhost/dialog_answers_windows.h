// The Windows plug-in shows its dialogs through Windows itself (GetSaveFileNameA,
// MessageBoxA, and DialogBoxParamA for its result dialog), whatever the environment says.
// To run it unattended or at a terminal, the host answers those calls as a person at the
// dialogs would: it points the entries of the plug-in's import table for them at its own
// functions. The plug-in's file stays as it is, and a host that does none of this shows
// the real dialogs.
#pragma once

#include <windows.h>

#include <string>

#include "core/error.h"

namespace cmp {

// From now on the plug-in's dialogs are the console's (ui/console): the save dialog asks
// on the terminal or takes CMPEXPORT_SAVE_AS, with the console's checks and messages;
// each message box is told on standard error (or shown and confirmed at the terminal);
// the result dialog is built unseen, so that its start-up builds and writes the file as
// always, and its tree is printed. Fails, changing nothing, when the plug-in does not
// call one of those functions through its import table.
Status AnswerDialogsOnConsole(HMODULE plugIn);

// From now on the plug-in's first save dialog opens with `path` as its file name; the
// dialogs stay Windows' own.
Status OpenSaveDialogOn(HMODULE plugIn, std::string path);

// -- A loaded module's import table: the entries through which its calls of other DLLs'
// functions go. modelhost.exe points some of the plug-in's at its own answers to the
// plug-in's dialogs; the Windows tests watch the plug-in's calls through them.

// The entry through which `module` calls `dll`!`function` (the DLL's name in any letter
// case), or null when it imports no such function by name.
void** FindImportEntry(HMODULE module, const char* dll, const char* function);

// Points `entry` at `replacement`; gives what it pointed at before, or null when the
// entry cannot be made writable (it is then unchanged).
void* ReplaceImportEntry(void** entry, void* replacement);

}  // namespace cmp
