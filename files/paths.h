// Paths as the system resolves them: made whole, and compared for naming one file.
#pragma once

#include <string>

namespace cmp {

// The path made absolute against the current folder, also when that folder has been
// removed (then its former path is given, as the system still knows it).
std::string FullPath(const std::string& path);

// Whether writing `output` would write the file `other` names. When both name a file, the
// same file by any spelling, link or hard link; otherwise by name: both made absolute, the
// folders resolved, `output`'s links followed also to where nothing stands yet, letter
// case ignored on Windows.
bool IsSameFile(const std::string& output, const std::string& other);

}  // namespace cmp
