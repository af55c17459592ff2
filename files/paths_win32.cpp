#include "files/files.h"

#include <windows.h>

#include "core/text.h"
#include "files/platform.h"

namespace cmp {

std::string FullPath(const std::string& path) {
    char full[MAX_PATH * 4];
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return length > 0 && length < sizeof full ? std::string(full, length) : path;
}

// By name alone, for when one of the two names nothing yet.
bool IsSameName(const std::string& outputPath, const std::string& streamPath) {
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

}  // namespace cmp
