// Paths as the system resolves them: made whole, and compared for naming one file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace cmp {

// The path made absolute against the current folder, also when that folder has been
// removed (then its former path is given, as the system still knows it).
std::string FullPath(const std::string& path);

// Whether writing `output` would write the file `other` names. When both name a file, the
// same file by any spelling, link or hard link; otherwise by name: both made absolute, the
// folders resolved, `output`'s links followed also to where nothing stands yet, letter
// case ignored on Windows.
bool IsSameFile(const std::string& output, const std::string& other);

// The index of the first of `others` that writing `output` would write, by IsSameFile;
// nothing when none is.
std::optional<std::size_t> FindSameFile(const std::string& output,
                                        const std::vector<std::string>& others);

}  // namespace cmp
