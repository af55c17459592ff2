#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <system_error>

#include "core/text.h"
#include "modelhost/host_platform.h"
#include "modelhost/import_model.h"

namespace cmp {

namespace {

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

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

}  // namespace

Result<std::vector<std::string>> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

std::optional<std::filesystem::path> ProgramFolder() {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return std::nullopt;
    }
    return self.parent_path();
}

Result<LoadedPlugIn> LoadPlugIn(const std::string& path, const std::string& file) {
    LoadedPlugIn loaded;
    loaded.library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (loaded.library == nullptr) {
        const char* why = dlerror();
        return Error{ErrorCode::PlugInNotLoaded,
                     "cannot load the plug-in '" + TerminalText(path) +
                         "': " + TerminalText(why ? why : "unknown reason")};
    }
    auto* create = reinterpret_cast<CreatePlugInFunction*>(dlsym(loaded.library, "CreatePlugIn"));
    if (create == nullptr) {
        return Error{ErrorCode::PlugInNotLoaded,
                     "the plug-in '" + TerminalText(path) + "' has no CreatePlugIn"};
    }
    // The file the entry came from, which is the one loaded, whatever the path said.
    Dl_info where{};
    loaded.file = dladdr(reinterpret_cast<void*>(create), &where) != 0 && where.dli_fname != nullptr
                      ? where.dli_fname
                      : file;
    loaded.create = create;
    return loaded;
}

Result<ImportSummary> ImportModelFile(const std::string& path, ztModel model) {
    // A file that crashes or hangs the importer, or exhausts its memory, ends in the
    // child with a message instead.
    return ImportModelIsolated(path, model, ImportLimitsFromEnvironment());
}

void SetEnvironmentValue(const std::string& name, const std::string& value) {
    setenv(name.c_str(), value.c_str(), 1);
}

bool StandardStreamsAreTerminals() {
    return isatty(STDIN_FILENO) != 0 && isatty(STDOUT_FILENO) != 0;
}

bool HasDesktop() {
    return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
}

void UseBinaryStandardStreams() {}

Status PrepareDialogs(const LoadedPlugIn&) {
    // The plug-in reads CMPEXPORT_UI itself.
    return Status::Ok();
}

}  // namespace cmp
