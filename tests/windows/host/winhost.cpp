// A stand-in for the modelling host on Windows: loads cmpexport.dll as the host does
// and calls its slots as a host built by Microsoft's compiler would.
//
//   winhost [--plugin PATH] [check [FILTER]]   run the checks (the default)
//   winhost [--plugin PATH] list               what the host lists for the plug-in
//   winhost [--plugin PATH] write FOLDER       export every comparison model there
//   winhost [--plugin PATH] hold FOLDER        export with the dialogs held open
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/plugin_library.h"
#include "tests/windows/host/boundary_checks.h"
#include "tests/windows/host/checks.h"
#include "tests/windows/host/export_checks.h"
#include "tests/windows/host/host_modes.h"

namespace {

// cmpexport.dll beside this program, as a host finds plug-ins in its own folder.
std::string DefaultPlugInPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    const std::size_t slash = folder.find_last_of("\\/");
    folder.resize(slash == std::string::npos ? 0 : slash + 1);
    return folder + "cmpexport.dll";
}

int Usage() {
    std::fprintf(stderr,
                 "usage: winhost [--plugin PATH] [check [FILTER] | list | write FOLDER | "
                 "hold FOLDER]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string plugInPath = DefaultPlugInPath();
    if (args.size() >= 2 && args[0] == "--plugin") {
        plugInPath = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    const std::string mode = args.empty() ? "check" : args[0];

    const cmp::test::PlugInLibrary library(plugInPath);
    if (!library.Loaded()) {
        std::fprintf(stderr, "winhost: cannot load %s (%s)\n", plugInPath.c_str(),
                     library.Error().c_str());
        return 1;
    }
    if (mode == "check" && args.size() <= 2) {
        Checks checks;
        const std::string filter = args.size() == 2 ? args[1] : "";
        RunBoundaryChecks(library, checks, filter);
        RunExportChecks(library, checks, filter);
        return checks.Summary() ? 0 : 1;
    }
    if (mode == "list" && args.size() == 1) {
        return ListPlugIn(library) ? 0 : 1;
    }
    if (mode == "write" && args.size() == 2) {
        return WriteComparisonFiles(library, args[1]) ? 0 : 1;
    }
    if (mode == "hold" && args.size() == 2) {
        return HoldDialogs(library, args[1]) ? 0 : 1;
    }
    return Usage();
}
