#include "files/files.h"

#include <windows.h>

#include "files/platform.h"

namespace cmp {

// Links and permissions are left to the system here: only a folder is refused, which the
// replacing move could not take the place of anyway.
Result<WriteDestination> FindWriteDestination(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return Refusal(path, "it is a folder");
    }
    WriteDestination destination;
    destination.path = path;
    destination.replaces = attributes != INVALID_FILE_ATTRIBUTES;
    destination.readOnly = destination.replaces && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    return destination;
}

}  // namespace cmp
