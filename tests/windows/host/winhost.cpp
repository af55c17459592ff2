// A stand-in for the modelling host on Windows: loads cmpexport.dll as the host does
// and calls its slots as a host built by Microsoft's compiler would. Its checks of the
// DLL are the tests of winhost_test; this program is for what is not a test.
//
//   winhost [--plugin PATH] list               what the host lists for the plug-in
//   winhost [--plugin PATH] write FOLDER       export every comparison model there
//   winhost [--plugin PATH] hold FOLDER        export with the dialogs held open
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/plugin_library.h"
#include "tests/windows/host/host_modes.h"
#include "tests/windows/host/host_support.h"

namespace cmp {
namespace {

int Usage() {
    std::fprintf(stderr, "usage: winhost [--plugin PATH] list | write FOLDER | hold FOLDER\n");
    return 2;
}

}  // namespace
}  // namespace cmp

int main(int argc, char** argv) {
    using namespace cmp;
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string plugInPath = DefaultPlugInPath();
    if (args.size() >= 2 && args[0] == "--plugin") {
        plugInPath = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) {
        return Usage();
    }
    const std::string& mode = args[0];
    const bool listing = mode == "list" && args.size() == 1;
    const bool exporting = (mode == "write" || mode == "hold") && args.size() == 2;
    if (!listing && !exporting) {
        return Usage();
    }

    const cmp::PlugInLibrary library(plugInPath);
    if (!library.Loaded()) {
        std::fprintf(stderr, "winhost: cannot load %s (%s)\n", plugInPath.c_str(),
                     library.Error().c_str());
        return 1;
    }
    if (listing) {
        return ListPlugIn(library) ? 0 : 1;
    }
    if (mode == "write") {
        return WriteComparisonFiles(library, args[1]) ? 0 : 1;
    }
    return HoldDialogs(library, args[1]) ? 0 : 1;
}
