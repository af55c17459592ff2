// The command line of modelhost, and the decisions on what it prints and how it ends
// that can be checked without running it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/error.h"
#include "modelhost/import_model.h"

namespace cmp {

// The desktop dialogs' name for --ui: GTK's on Linux, Windows' own on Windows.
#ifdef _WIN32
inline constexpr const char* DesktopUi = "win32";
#else
inline constexpr const char* DesktopUi = "gtk";
#endif

struct ModelHostOptions {
    std::string modelPath;
    std::optional<std::string> pluginPath;  // default: FindDefaultPlugIn
    std::optional<std::string> saveAs;      // the save dialog's answer, unattended
    bool overwrite = false;                 // replace saveAs when it exists
    std::optional<std::string> ui;          // console, DesktopUi or auto
    std::optional<std::string> first;       // the mesh handed over first, naming the model
    bool list = false;                      // summary only, no export
    bool json = false;                      // with list: the summary as a JSON document
    std::optional<std::string> planFile;    // with saveAs: the plan as JSON, also to this file
    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name. "--option=value" and "--option value"
// both work; "--" ends the options. Exactly one model path is needed unless --help or
// --version.
Result<ModelHostOptions> ParseModelHostOptions(const std::vector<std::string>& arguments);

// The text of --help.
std::string ModelHostUsage();

// The environment variables through which the plug-in receives the options and the
// files it must never write over:
//   CMPEXPORT_SAVE_AS, CMPEXPORT_OVERWRITE, CMPEXPORT_UI   the options' answers; --save-as
//       without --ui chooses the console, which answers without asking. Unset options
//       leave these as the user set them.
//   CMPEXPORT_SAVE_AS_OPTION, CMPEXPORT_OVERWRITE_OPTION   "--save-as" and "--overwrite"
//       when the answer above came from that option, else empty: the dialogs' messages
//       then name what the user typed rather than a variable.
//   CMPEXPORT_KEEP_FILES   `sourceFiles` (the model file first, then every file its import
//       read, as full paths) as a netstring list (core/netstrings.h).
std::vector<std::pair<std::string, std::string>> PlugInEnvironment(
    const ModelHostOptions& options, const std::vector<std::string>& sourceFiles);

// -- Where modelhost finds the plug-in when no --plugin names one.

// The plug-in library's file name: libcmpexport.so, or cmpexport.dll on Windows.
const char* PlugInFileName();

// The files modelhost tries, in order, given the folder it runs from: the plug-in library
// beside it (a build tree), then in the private library folder of an installed copy
// (release/install_layout.h).
std::vector<std::filesystem::path> DefaultPlugInCandidates(
    const std::filesystem::path& programFolder);

// The first candidate that exists. When none does, an error (PlugInNotLoaded) whose
// message names every place looked in, so that a user of an installed copy learns
// where its plug-in belongs.
Result<std::string> FindDefaultPlugIn(const std::filesystem::path& programFolder);

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
    // CMPEXPORT_SAVE_AS as inherited: the user's own answer to the save dialog, which makes
    // the console's dialog unattended as --save-as does.
    std::optional<std::string> saveAs;
};

// Whether the run must end with a written file: --save-as asked for one, or the save
// dialog is the console's with nobody at a terminal to answer it or with its answer in
// CMPEXPORT_SAVE_AS. Such a run that wrote nothing ends with ExitNothingWritten; a person
// who cancels a dialog does not.
bool MustWriteAFile(const ModelHostOptions& options, const RunSurroundings& surroundings);

// Whether the plug-in's dialogs are the console's, for the CMPEXPORT_UI `mode` it sees
// (anything but console and DesktopUi counting as auto) and whether a desktop is there:
// the plug-in's own choice (ui/create_user_interface.cpp), which modelhost.exe makes for
// the Windows DLL.
bool UsesConsoleDialogs(const std::string& mode, bool desktop);

// The line that says why a run that must write a file wrote none, without the prefix, in
// the words of what the user gave: --save-as, the variable CMPEXPORT_SAVE_AS, or neither.
std::string NothingWrittenReason(const ModelHostOptions& options,
                                 const RunSurroundings& surroundings);

// The line that says which points and lines the import dropped, without the prefix;
// empty when it dropped none.
std::string DroppedGeometryNote(const std::string& modelPath, const ImportSummary& summary);

// modelhost's exit statuses, as README's table gives them to scripts and the add-on.
// Three meanings share 2, as the table has always had them.
// The export returned 0, or what --list, --help or --version asks for was shown.
inline constexpr int ExitExported = 0;
inline constexpr int ExitExportFailed = 1;  // the export returned -1
// A command line not understood, a --first mesh the model lacks, a --plan FILE that is a
// file the model is read from or that cannot be written.
inline constexpr int ExitUsage = 2;
// The model or the plug-in could not be loaded, or the plug-in's dialogs not answered.
inline constexpr int ExitNotLoaded = 2;
inline constexpr int ExitHostFailed = 2;      // modelhost itself failed (out of memory)
inline constexpr int ExitNothingWritten = 3;  // a run that must write a file wrote none
inline constexpr int ExitOutputLost = 4;      // a run that went well lost its standard output

}  // namespace cmp
