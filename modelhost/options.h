// The command line of modelhost, and the decisions on what it prints and how it ends
// that can be checked without running it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/error.h"
#include "modelhost/import_model.h"

namespace cmp {

struct ModelHostOptions {
    std::string modelPath;
    std::optional<std::string> pluginPath;  // default: standin/plugin_location.h
    std::optional<std::string> saveAs;      // the save dialog's answer, unattended
    bool overwrite = false;                 // replace saveAs when it exists
    std::optional<std::string> ui;          // console, gtk or auto
    std::optional<std::string> first;       // the mesh handed over first, naming the model
    bool list = false;                      // summary only, no export
    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name. "--option=value" and "--option value"
// both work; "--" ends the options. Exactly one model path is needed unless --help or
// --version.
Result<ModelHostOptions> ParseModelHostOptions(const std::vector<std::string>& arguments);

// The text of --help.
std::string ModelHostUsage();

// The environment variables through which the plug-in's console dialogs receive the
// options: CMPEXPORT_SAVE_AS, CMPEXPORT_OVERWRITE and CMPEXPORT_UI. --save-as without
// --ui chooses the console, which answers without asking. Unset options leave the
// environment as it is.
std::vector<std::pair<std::string, std::string>> PlugInEnvironment(const ModelHostOptions& options);

// The file to load for --plugin PATH. A name given on the command line is a path, taken
// from the working folder even without a slash (dlopen would search the library path
// for a bare name and might load another copy); the result is absolute when the working
// folder still exists.
std::string PlugInPathToLoad(const std::string& given);

// Where the run happens, as far as choosing the plug-in's dialogs goes.
struct RunSurroundings {
    bool terminal = false;          // standard input and output are terminals
    bool display = false;           // DISPLAY or WAYLAND_DISPLAY is set
    std::optional<std::string> ui;  // CMPEXPORT_UI as inherited
};

// Whether the run must end with a written file: --save-as asked for one, or the save
// dialog is the console's with nobody at a terminal to answer it. Such a run that wrote
// nothing ends with ExitNothingWritten; a person who cancels a dialog does not.
bool MustWriteAFile(const ModelHostOptions& options, const RunSurroundings& surroundings);

// The line that says why a run that must write a file wrote none, without the prefix.
std::string NothingWrittenReason(const ModelHostOptions& options);

// The line that says which points and lines the import dropped, without the prefix;
// empty when it dropped none.
std::string DroppedGeometryNote(const std::string& modelPath, const ImportSummary& summary);

// modelhost's exit statuses.
inline constexpr int ExitExported = 0;        // the export returned 0
inline constexpr int ExitExportFailed = 1;    // the export returned -1
inline constexpr int ExitNotLoaded = 2;       // bad usage, the model or the plug-in not loaded
inline constexpr int ExitNothingWritten = 3;  // a run that must write a file wrote none

}  // namespace cmp
