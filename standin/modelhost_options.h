// The command line of modelhost.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/error.h"

namespace cmp {

struct ModelHostOptions {
    std::string modelPath;
    std::optional<std::string> pluginPath;  // default: libcmpexport.so beside modelhost
    std::optional<std::string> saveAs;      // the save dialog's answer, unattended
    bool overwrite = false;                 // replace saveAs when it exists
    std::optional<std::string> ui;          // console, gtk or auto
    bool list = false;                      // summary only, no export
    bool help = false;
};

// Parses the arguments after the program name. "--option=value" and "--option value"
// both work; "--" ends the options. Exactly one model path is needed unless --help.
Result<ModelHostOptions> ParseModelHostOptions(const std::vector<std::string>& arguments);

// The text of --help.
std::string ModelHostUsage();

// The environment variables through which the plug-in's console dialogs receive the
// options: CMPEXPORT_SAVE_AS, CMPEXPORT_OVERWRITE and CMPEXPORT_UI. --save-as without
// --ui chooses the console, which answers without asking. Unset options leave the
// environment as it is.
std::vector<std::pair<std::string, std::string>> PlugInEnvironment(const ModelHostOptions& options);

}  // namespace cmp
