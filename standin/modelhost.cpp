// modelhost: a host for the exporter plug-in on Linux. It imports a model file into the
// stand-in model library, loads the plug-in as a host would (dlopen, CreatePlugIn, the
// object's slot table), and runs one export through it.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "host/HostPlugIn.h"
#include "standin/isolated_import.h"
#include "standin/modelhost_options.h"
#include "standin/ztModelBuilder.h"

namespace cmp {
namespace {

constexpr int ExitExported = 0;
constexpr int ExitExportFailed = 1;
constexpr int ExitNotLoaded = 2;

std::string DefaultPlugInPath() {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return "libcmpexport.so";
    }
    return (self.parent_path() / "libcmpexport.so").string();
}

struct LoadedPlugIn {
    void* library = nullptr;
    HostPlugIn* object = nullptr;
};

Result<LoadedPlugIn> LoadPlugIn(const std::string& path) {
    LoadedPlugIn loaded;
    loaded.library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (loaded.library == nullptr) {
        const char* why = dlerror();
        return Error{ErrorCode::PlugInNotLoaded,
                     "cannot load the plug-in '" + path + "': " + (why ? why : "unknown reason")};
    }
    auto* create = reinterpret_cast<CreatePlugInFunction*>(dlsym(loaded.library, "CreatePlugIn"));
    if (create == nullptr) {
        return Error{ErrorCode::PlugInNotLoaded, "the plug-in '" + path + "' has no CreatePlugIn"};
    }
    loaded.object = create();
    if (loaded.object == nullptr || loaded.object->slots == nullptr) {
        return Error{ErrorCode::PlugInNotLoaded,
                     "the plug-in '" + path + "' gave no plug-in object"};
    }
    return loaded;
}

std::string Text(void (*get)(ztMesh, char*, std::int32_t), ztMesh mesh) {
    char name[200] = {};
    get(mesh, name, sizeof name - 1);
    return name;
}

void PrintModelSummary(ztModel model, const std::string& path) {
    const std::int32_t meshCount = ztModel_GetMeshCount(model);
    std::cout << "model: " << path << ", " << meshCount << " meshes, "
              << ztModel_GetMaterialCount(model) << " materials\n";
    for (std::int32_t m = 0; m < meshCount; ++m) {
        ztMesh mesh = ztModel_GetMeshAt(model, m);
        char material[200] = {};
        const std::int32_t materialIndex = ztMesh_GetMaterialIndex(mesh);
        ztMaterial_GetName(ztModel_GetMaterialAt(model, materialIndex), material,
                           sizeof material - 1);
        std::cout << "  " << Text(ztMesh_GetName, mesh) << ": " << ztMesh_GetVertexCount(mesh)
                  << " vertices, " << ztMesh_GetTriangleCount(mesh) << " triangles, material "
                  << (material[0] != '\0' ? "'" + std::string(material) + "'" : "none") << '\n';
    }
}

// A positive whole number from the environment, if there is one.
std::optional<std::uint64_t> PositiveFromEnvironment(const char* name) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text < '1' || *text > '9') {
        return std::nullopt;
    }
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (*end != '\0' || value > (1ull << 40)) {
        return std::nullopt;
    }
    return value;
}

// The import child's limits. The two variables exist for the tests only, which cannot
// wait a minute for a hanging importer nor exhaust gigabytes; they are not documented.
ImportLimits ImportLimitsFromEnvironment() {
    ImportLimits limits;
    if (auto seconds = PositiveFromEnvironment("MODELHOST_IMPORT_SECONDS")) {
        limits.timeLimit = std::chrono::seconds(*seconds);
    }
    if (auto mebibytes = PositiveFromEnvironment("MODELHOST_IMPORT_MEMORY_MIB")) {
        limits.addressSpaceBudget = *mebibytes << 20;
    }
    return limits;
}

void SetPlugInEnvironment(const ModelHostOptions& options) {
    for (const auto& [name, value] : PlugInEnvironment(options)) {
        setenv(name.c_str(), value.c_str(), 1);
    }
}

int Run(const ModelHostOptions& options) {
    SetPlugInEnvironment(options);

    // The model file is read in a child process: a file that crashes or hangs the
    // importer, or exhausts its memory, ends here with a message instead.
    ztModel model = ztBuild_CreateModel();
    if (Status imported =
            ImportModelIsolated(options.modelPath, model, ImportLimitsFromEnvironment());
        !imported) {
        std::cerr << "modelhost: " << imported.message() << '\n';
        ztModel_Destroy(model);
        return ExitNotLoaded;
    }

    const std::string pluginPath = options.pluginPath.value_or(DefaultPlugInPath());
    Result<LoadedPlugIn> loaded = LoadPlugIn(pluginPath);
    if (!loaded) {
        std::cerr << "modelhost: " << loaded.message() << '\n';
        ztModel_Destroy(model);
        return ExitNotLoaded;
    }
    // Hosts call only through the table the object's first word points to.
    HostPlugIn* plugIn = loaded.value().object;
    const HostPlugInSlots& slots = *plugIn->slots;
    const char* title = slots.queryTitle(plugIn);
    std::cout << "plug-in: " << pluginPath << "\nkind: " << slots.queryKind(plugIn)
              << "\ntitle: " << (title ? title : "(none)") << '\n';

    int status = ExitExported;
    if (options.list) {
        PrintModelSummary(model, options.modelPath);
        ztModel_Destroy(model);
    } else {
        std::cout.flush();
        // The plug-in destroys the model at the end of an export that got as far as its
        // result dialog, and leaves it to the host otherwise; the counter tells which.
        const std::int32_t destroyedBefore = ztBuild_DestroyCount();
        const std::int32_t result = slots.runExport(plugIn, model);
        if (ztBuild_DestroyCount() == destroyedBefore) {
            ztModel_Destroy(model);
        }
        std::cout << "RunExport returned " << result << '\n';
        status = result == 0 ? ExitExported : ExitExportFailed;
    }
    slots.destroy(plugIn, 1);
    // The library stays loaded: a user-interface toolkit it started cannot be unloaded.
    return status;
}

}  // namespace

// The program, with its arguments as main received them.
int Main(int argc, char** argv) {
    try {
        Result<ModelHostOptions> options =
            ParseModelHostOptions(std::vector<std::string>(argv + 1, argv + argc));
        if (!options) {
            std::cerr << "modelhost: " << options.message() << "\n\n" << ModelHostUsage();
            return ExitNotLoaded;
        }
        if (options.value().help) {
            std::cout << ModelHostUsage();
            return 0;
        }
        return Run(options.value());
    } catch (const std::exception& failure) {
        std::cerr << "modelhost: " << failure.what() << '\n';
        return ExitNotLoaded;
    }
}

}  // namespace cmp

int main(int argc, char** argv) {
    return cmp::Main(argc, argv);
}
