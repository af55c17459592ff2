#include "files/files.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "files/platform.h"

namespace cmp {

namespace fs = std::filesystem;

std::string FullPath(const std::string& path) {
    if (!path.empty() && path.front() == '/') {
        return path;
    }
    std::string folder;
    if (char* current = getcwd(nullptr, 0); current != nullptr) {
        folder = current;
        std::free(current);
    } else {
        // A removed folder has no path getcwd will give; the system still knows its
        // former one.
        char former[4096];
        const ssize_t length = readlink("/proc/self/cwd", former, sizeof former - 1);
        if (length <= 0) {
            return path;
        }
        folder.assign(former, static_cast<std::size_t>(length));
        const std::string removed = " (deleted)";
        if (folder.size() > removed.size() &&
            folder.compare(folder.size() - removed.size(), removed.size(), removed) == 0) {
            folder.resize(folder.size() - removed.size());
        }
    }
    return folder + (folder.back() == '/' ? "" : "/") + path;
}

// By name alone, for when one of the two names nothing yet.
bool IsSameName(const std::string& outputPath, const std::string& streamPath) {
    std::error_code error;
    // The output's links followed too, also to where nothing stands yet: a link of any
    // name that points at the stream file would have the tree file written into it.
    fs::path output = FullPath(outputPath);
    for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(output, error)); ++hops) {
        const fs::path target = fs::read_symlink(output, error);
        if (error) {
            break;
        }
        output = target.is_absolute() ? target : output.parent_path() / target;
    }
    const fs::path resolved = fs::weakly_canonical(output, error);
    output = error ? output.lexically_normal() : resolved;
    const fs::path stream(FullPath(streamPath));
    fs::path folder = fs::weakly_canonical(stream.parent_path(), error);
    if (error) {
        folder = stream.parent_path().lexically_normal();
    }
    return output == folder / stream.filename();
}

}  // namespace cmp
