#include "files/paths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "core/text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace cmp {

namespace fs = std::filesystem;

#ifdef _WIN32

std::string FullPath(const std::string& path) {
    char full[MAX_PATH * 4];
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return length > 0 && length < sizeof full ? std::string(full, length) : path;
}

// By name alone, for when one of the two names nothing yet.
static bool IsSameName(const std::string& outputPath, const std::string& streamPath) {
    // Windows names are compared without regard to case, and GetFullPathNameA has
    // already dropped what the system ignores (trailing dots and spaces, "." and "..").
    const std::string a = FullPath(outputPath);
    const std::string b = FullPath(streamPath);
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] == '/' ? '\\' : FoldAsciiCase(a[i]);
        const char y = b[i] == '/' ? '\\' : FoldAsciiCase(b[i]);
        if (x != y) {
            return false;
        }
    }
    return true;
}

#else

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
static bool IsSameName(const std::string& outputPath, const std::string& streamPath) {
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

#endif

bool IsSameFile(const std::string& output, const std::string& other) {
    std::error_code error;
    if (fs::equivalent(output, other, error) && !error) {
        return true;
    }
    return IsSameName(output, other);
}

std::optional<std::size_t> FindSameFile(const std::string& output,
                                        const std::vector<std::string>& others) {
    for (std::size_t i = 0; i < others.size(); ++i) {
        if (IsSameFile(output, others[i])) {
            return i;
        }
    }
    return std::nullopt;
}

}  // namespace cmp
