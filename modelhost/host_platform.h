// What modelhost asks of the system that Linux and Windows answer differently: where the
// program lies, how the plug-in library is loaded, how the model file is imported, the
// environment through which the plug-in gets its answers, and whether a person sits at a
// terminal or a desktop. One file per platform implements it; the host's run itself
// (modelhost.cpp) is the same on both.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/error.h"
#include "host/HostPlugIn.h"
#include "modelhost/import_model.h"

namespace cmp {

// The plug-in library as loaded: its handle stays open for the life of the process (a
// toolkit it started cannot be unloaded).
struct LoadedPlugIn {
    void* library = nullptr;
    CreatePlugInFunction* create = nullptr;  // the library's CreatePlugIn
    HostPlugIn* object = nullptr;            // made by modelhost.cpp, through `create`
    std::string file;                        // the file the library was loaded from
};

// The arguments after the program's name, as the plug-in will take them. On Windows the
// plug-in takes paths in the ANSI code page, into which the C library's argv would turn
// a character the code page lacks into a look-alike or "?", naming another file: such an
// argument fails (BadUsage), named in UTF-8, rather than be used.
Result<std::vector<std::string>> ProgramArguments(int argc, char** argv);

// The folder that holds the running program, when the system says.
std::optional<std::filesystem::path> ProgramFolder();

// Loads `file`, which the messages call `path` (as the user gave it), and finds
// CreatePlugIn. Errors are PlugInNotLoaded.
Result<LoadedPlugIn> LoadPlugIn(const std::string& path, const std::string& file);

// Imports the model file at `path` into the empty `model`, as safely as the platform
// allows: on Linux in a child process under limits (modelhost/isolated_import.h), on
// Windows glTF 2.0 only (modelhost/gltf_import.h), any other format refused with a
// message that names the formats read. On failure `model` may hold part of the file's
// model, and is only to be destroyed.
Result<ImportSummary> ImportModelFile(const std::string& path, ztModel model);

// Sets one variable of this process's environment, which the plug-in reads.
void SetEnvironmentValue(const std::string& name, const std::string& value);

// Whether standard input and output are both terminals.
bool StandardStreamsAreTerminals();

// Whether the desktop dialogs can show: a display on Linux (DISPLAY or WAYLAND_DISPLAY),
// an interactive window station on Windows.
bool HasDesktop();

// Makes standard output and error carry exactly the bytes written: on Windows the C
// library would otherwise turn every line feed into a carriage return and line feed, and
// programs that read modelhost get the same text on every platform.
void UseBinaryStandardStreams();

// Called once the plug-in's environment is set and before its export runs. Where the
// plug-in cannot choose its dialogs by CMPEXPORT_UI (the Windows DLL always shows Win32
// dialogs), the host answers them as that variable asks: on the console (the same
// dialogs, prompts and messages as the console interface of the Linux plug-in), or in the
// Win32 dialogs with the save dialog opened on CMPEXPORT_SAVE_AS. Elsewhere nothing.
Status PrepareDialogs(const LoadedPlugIn& plugIn);

}  // namespace cmp
