#include "modelhost/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string_view>
#include <system_error>
#include <utility>

#include "core/netstrings.h"
#include "core/text.h"
#include "release/install_layout.h"

namespace cmp {

namespace {

// The options that take a value.
constexpr std::string_view ValueOptions[] = {"--plugin", "--save-as", "--ui", "--first", "--plan"};

bool IsValueOption(std::string_view argument) {
    return std::find(std::begin(ValueOptions), std::end(ValueOptions), argument) !=
           std::end(ValueOptions);
}

// The parser takes the argument after "--name=" as the value when nothing follows the
// '='; "--name=" names the empty value, so it is handed over as "--name" "".
std::vector<std::string> SplitEmptyValues(const std::vector<std::string>& arguments) {
    std::vector<std::string> split;
    for (auto argument = arguments.begin(); argument != arguments.end(); ++argument) {
        if (*argument == "--") {
            split.insert(split.end(), argument, arguments.end());
            break;
        }
        if (!argument->empty() && argument->back() == '=' &&
            IsValueOption(std::string_view(*argument).substr(0, argument->size() - 1))) {
            split.push_back(argument->substr(0, argument->size() - 1));
            split.emplace_back();
        } else {
            split.push_back(*argument);
        }
    }
    return split;
}

// Fills `options` and `models` from `arguments`; a value option given twice keeps its last
// value, which is the next argument whatever that is. Refuses an option it does not know
// and a value option without its value.
Status ParseArguments(const std::vector<std::string>& arguments, ModelHostOptions& options,
                      std::vector<std::string>& models) {
    CLI::App parser;
    parser.set_help_flag();  // --help shows ModelHostUsage, not a text of the parser's
    parser.allow_extras();   // refused below, in our words
    // A path such as "/home/me/the ship.glb" is a model, never an option "/home".
    parser.allow_windows_style_options(false);
    parser.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    const auto flag = [&parser](const char* names, bool& target) {
        parser.add_flag(names, target)->disable_flag_override();
    };
    flag("-h,--help", options.help);
    flag("--version", options.version);
    flag("--list", options.list);
    flag("--json", options.json);
    flag("--overwrite", options.overwrite);
    const auto valueOption = [&parser](const char* name, std::optional<std::string>& target) {
        parser.add_option_function<std::string>(
            name, [&target](const std::string& value) { target = value; });
    };
    valueOption("--plugin", options.pluginPath);
    valueOption("--save-as", options.saveAs);
    valueOption("--ui", options.ui);
    valueOption("--first", options.first);
    valueOption("--plan", options.planFile);
    parser.add_option("models", models);
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        parser.parse(reversed);
    } catch (const CLI::ParseError& refused) {
        // A value option last of all is the only one that misses its value.
        if (!arguments.empty() && IsValueOption(arguments.back())) {
            return Error{ErrorCode::BadUsage, arguments.back() + " needs a value"};
        }
        // A flag given a value ("--list=yes") is no option of ours, as any other unknown.
        for (const std::string& argument : arguments) {
            const std::size_t equals = argument.find('=');
            if (argument.starts_with("--") && equals != std::string::npos &&
                parser.get_option_no_throw(argument.substr(0, equals)) != nullptr &&
                !IsValueOption(argument.substr(0, equals))) {
                return Error{ErrorCode::BadUsage, "unknown option '" + argument + "'"};
            }
        }
        return Error{ErrorCode::BadUsage, refused.what()};
    }
    for (const std::string& extra : parser.remaining()) {
        if (extra != "--") {
            return Error{ErrorCode::BadUsage, "unknown option '" + extra + "'"};
        }
    }
    return Status::Ok();
}

}  // namespace

Result<ModelHostOptions> ParseModelHostOptions(const std::vector<std::string>& arguments) {
    ModelHostOptions options;
    std::vector<std::string> models;
    if (Status parsed = ParseArguments(SplitEmptyValues(arguments), options, models); !parsed) {
        return parsed.error();
    }
    if (options.ui && *options.ui != "console" && *options.ui != DesktopUi &&
        *options.ui != "auto") {
        return Error{ErrorCode::BadUsage, std::string("--ui must be console, ") + DesktopUi +
                                              " or auto, not '" + *options.ui + "'"};
    }
    if (options.help || options.version) {
        return options;
    }
    if (options.json && !options.list) {
        return Error{ErrorCode::BadUsage, "--json goes with --list"};
    }
    if (options.planFile && (!options.saveAs || options.list)) {
        return Error{ErrorCode::BadUsage, "--plan goes with --save-as (and not with --list)"};
    }
    if (models.size() != 1) {
        return Error{ErrorCode::BadUsage,
                     models.empty() ? "no model file given" : "give exactly one model file"};
    }
    options.modelPath = models.front();
    return options;
}

namespace {

// What the usage says differently on Windows, where modelhost.exe reads glTF only, the
// plug-in is a DLL beside it and the desktop dialogs are Windows' own.
#ifdef _WIN32
constexpr const char* UsageModels =
    "Imports MODEL (glTF 2.0: .glb or .gltf), loads the exporter plug-in and runs\n"
    "one export of the model through it. Lengths are read as the file's numbers stand\n"
    "(glTF's metres); the file holds them times 1/92 with Y and Z negated. Parts whose\n"
    "transform mirrors keep facing outwards.\n";
constexpr const char* UsagePlugIn =
    "  --plugin PATH   the plug-in library, from the working folder unless PATH is\n"
    "                  absolute (default: cmpexport.dll beside modelhost.exe)\n";
constexpr const char* UsageUi =
    "  --ui MODE       console, win32 or auto (Windows' dialogs when a desktop is there)\n";
constexpr const char* UsageNotStarted = "\n";
#else
constexpr const char* UsageModels =
    "Imports MODEL (OBJ, glTF 2.0, Collada, FBX, 3DS, STL, PLY, ...), loads the\n"
    "exporter plug-in and runs one export of the model through it. Lengths are\n"
    "read in the model's units (FBX and Collada files in metres, by their own unit;\n"
    "other formats as their numbers stand); the file holds them times 1/92 with Y\n"
    "and Z negated. Parts whose transform mirrors keep facing outwards.\n";
const std::string UsagePlugIn =
    "  --plugin PATH   the plug-in library, from the working folder unless PATH is\n"
    "                  absolute (default: libcmpexport.so beside modelhost, else in\n"
    "                  " +
    std::string(PlugInFolderFromPrograms) + " from modelhost's folder, as installed)\n";
constexpr const char* UsageUi =
    "  --ui MODE       console, gtk or auto (GTK when a display is there)\n";
constexpr const char* UsageNotStarted =
    ",\n"
    "             127 the system could not start modelhost: a library it needs (the\n"
    "               stand-in model library libztModelLib.so) is missing\n";
#endif

}  // namespace

std::string ModelHostUsage() {
    return std::string(
               "usage: modelhost [options] MODEL\n"
               "\n") +
           UsageModels +
           "\n"
           "options:\n" +
           UsagePlugIn +
           "  --save-as FILE  answer the save dialog with FILE and run unattended\n"
           "                  (the console dialogs; with --ui " +
           DesktopUi +
           " the dialog opens on FILE);\n"
           "                  meshes the export would leave out are told on standard error\n"
           "  --overwrite     replace FILE when it exists (otherwise the export is cancelled)\n" +
           UsageUi +
           "  --first MESH    hand the meshes named MESH to the plug-in first, the others\n"
           "                  keeping their order: the file's nodes are named after the\n"
           "                  first mesh (MESH.3db, MESH.lod0.vms)\n"
           "  --list          show the plug-in, the imported model and the plan of its\n"
           "                  export: each mesh as geometry, a Fixed or Revolute hardpoint\n"
           "                  or left out, the mesh that names the model, its size in\n"
           "                  the model's units and in the file's, and why the plug-in\n"
           "                  would refuse the model; export nothing\n"
           "  --json          with --list: the same as one JSON document on standard output,\n"
           "                  an interface for programs that keeps its fields (\"format\": 1);\n"
           "                  the README's modelhost section lists them\n"
           "  --plan FILE     with --save-as: write that document to FILE as well, before\n"
           "                  the export runs, so that one run gives a program both\n"
           "                  (refused when FILE is the model or a file it refers to)\n"
           "  --help          show this text\n"
           "  --version       show the version\n"
           "\n"
           "exit status: 0 the export returned 0 (also for an empty model),\n"
           "             1 it returned -1 (also for a file to write that is the model file\n"
           "               or one it refers to: the export never replaces the file it is\n"
           "               made from),\n"
           "             2 bad usage (also a --first MESH the model does not have), or the\n"
           "               model or the plug-in could not be loaded (also a model whose\n"
           "               unit is no length from 0.000001 to 1000000 metres),\n"
           "             3 the export wrote no file although it had to: the save dialog\n"
           "               refused or cancelled --save-as FILE, or had no terminal to ask on,\n"
           "             4 the run went as status 0 says, but what modelhost wrote to\n"
           "               standard output was lost (a full disk)" +
           UsageNotStarted;
}

std::vector<std::pair<std::string, std::string>> PlugInEnvironment(
    const ModelHostOptions& options, const std::vector<std::string>& sourceFiles) {
    std::vector<std::pair<std::string, std::string>> variables;
    std::string saveAsOption;
    std::string overwriteOption;
    if (options.saveAs) {
        variables.emplace_back("CMPEXPORT_SAVE_AS", *options.saveAs);
        variables.emplace_back("CMPEXPORT_OVERWRITE", options.overwrite ? "yes" : "no");
        saveAsOption = "--save-as";
        overwriteOption = "--overwrite";
    } else if (options.overwrite) {
        variables.emplace_back("CMPEXPORT_OVERWRITE", "yes");
        overwriteOption = "--overwrite";
    }
    variables.emplace_back("CMPEXPORT_SAVE_AS_OPTION", saveAsOption);
    variables.emplace_back("CMPEXPORT_OVERWRITE_OPTION", overwriteOption);
    if (options.ui) {
        variables.emplace_back("CMPEXPORT_UI", *options.ui);
    } else if (options.saveAs) {
        variables.emplace_back("CMPEXPORT_UI", "console");
    }
    variables.emplace_back("CMPEXPORT_KEEP_FILES", EncodeNetstrings(sourceFiles));
    return variables;
}

std::string PlugInPathToLoad(const std::string& given) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(given, error);
    if (!error && !given.empty()) {
        return absolute.string();
    }
    return given.find('/') == std::string::npos ? "./" + given : given;
}

bool MustWriteAFile(const ModelHostOptions& options, const RunSurroundings& surroundings) {
    if (options.saveAs) {
        return true;
    }
    const bool console = UsesConsoleDialogs(options.ui.value_or(surroundings.ui.value_or("auto")),
                                            surroundings.display);
    return console && (!surroundings.terminal || surroundings.saveAs);
}

bool UsesConsoleDialogs(const std::string& mode, bool desktop) {
    return mode == "console" || (mode != DesktopUi && !desktop);
}

std::string NothingWrittenReason(const ModelHostOptions& options,
                                 const RunSurroundings& surroundings) {
    if (options.saveAs) {
        return "the export wrote no file: the save dialog did not accept '" +
               TerminalText(*options.saveAs) + "'";
    }
    if (surroundings.saveAs) {
        return "the export wrote no file: the save dialog did not accept '" +
               TerminalText(*surroundings.saveAs) + "' (CMPEXPORT_SAVE_AS)";
    }
    return "the export wrote no file: there is no terminal to ask for its name on (give "
           "--save-as FILE)";
}

std::string DroppedGeometryNote(const std::string& modelPath, const ImportSummary& summary) {
    auto count = [](std::uint32_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    std::string dropped;
    if (summary.droppedPoints != 0) {
        dropped = count(summary.droppedPoints, "point", "points");
    }
    if (summary.droppedLines != 0) {
        dropped += (dropped.empty() ? "" : " and ") + count(summary.droppedLines, "line", "lines");
    }
    if (dropped.empty()) {
        return {};
    }
    return "dropped " + dropped + " of '" + TerminalText(modelPath) +
           "': only triangles are exported";
}

}  // namespace cmp
