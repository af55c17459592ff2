// Exports every comparison model through the Linux plug-in library, to be compared byte
// for byte with what the Windows DLL writes for the same models.
//
//   cmp_write_models PLUGIN_LIBRARY FOLDER
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/models/plugin_export.h"

int main(int argc, char** argv) {
    using namespace cmp;
    if (argc != 3) {
        std::fprintf(stderr, "usage: cmp_write_models PLUGIN_LIBRARY FOLDER\n");
        return 2;
    }
    PlugInExporter exporter(argv[1]);
    if (!exporter.Loaded()) {
        std::fprintf(stderr, "cmp_write_models: %s\n", exporter.Error().c_str());
        return 1;
    }
    const std::filesystem::path folder(argv[2]);
    std::filesystem::create_directories(folder);
    bool allWritten = true;
    for (const TestModel& model : ComparisonModels()) {
        const std::filesystem::path output = folder / (std::string(model.name) + ".cmp");
        const bool written = exporter.Export(model, output.string()) == 0 &&
                             std::filesystem::is_regular_file(output);
        std::fprintf(stderr, "%-20s %s\n", model.name, written ? "written" : "FAILED");
        allWritten = allWritten && written;
    }
    return allWritten ? 0 : 1;
}
