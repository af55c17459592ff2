#include "modelhost/options.h"

#include <system_error>

#include "release/install_layout.h"

namespace cmp {

namespace {

#ifdef _WIN32
constexpr const char* PlugInFile = "cmpexport.dll";
#else
constexpr const char* PlugInFile = "libcmpexport.so";
#endif

}  // namespace

const char* PlugInFileName() {
    return PlugInFile;
}

std::vector<std::filesystem::path> DefaultPlugInCandidates(
    const std::filesystem::path& programFolder) {
    return {programFolder / PlugInFile,
            (programFolder / PlugInFolderFromPrograms / PlugInFile).lexically_normal()};
}

Result<std::string> FindDefaultPlugIn(const std::filesystem::path& programFolder) {
    const std::vector<std::filesystem::path> candidates = DefaultPlugInCandidates(programFolder);
    for (const std::filesystem::path& candidate : candidates) {
        std::error_code error;
        if (std::filesystem::exists(candidate, error)) {
            return candidate.string();
        }
    }
    return Error{ErrorCode::PlugInNotLoaded,
                 std::string("cannot find the plug-in ") + PlugInFile + ": it is neither beside " +
                     "modelhost ('" + candidates[0].string() +
                     "') nor in the folder of an installed copy ('" +
                     candidates[1].parent_path().string() + "/'); name it with --plugin PATH"};
}

}  // namespace cmp
