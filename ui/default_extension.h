// The one rule by which every save dialog of the plug-in adds the default extension,
// the rule of the Windows save dialog: a name whose last component holds a dot anywhere
// keeps what the user typed ("ship.v2", "model.", ".hidden"); any other name gets "."
// and the extension ("ship" becomes "ship.cmp", "my.folder/ship" "my.folder/ship.cmp").
// Both '/' and '\' end a folder name.
#pragma once

#include <string>
#include <string_view>

namespace cmp {

inline bool HasExtension(std::string_view path) {
    const std::size_t folderEnd = path.find_last_of("/\\");
    const std::string_view name =
        folderEnd == std::string_view::npos ? path : path.substr(folderEnd + 1);
    return name.find('.') != std::string_view::npos;
}

// `path` with "." and `extension` appended when it has no extension and `extension` is
// not empty; otherwise `path` unchanged.
inline std::string WithDefaultExtension(std::string path, std::string_view extension) {
    if (!extension.empty() && !HasExtension(path)) {
        path += '.';
        path += extension;
    }
    return path;
}

}  // namespace cmp
