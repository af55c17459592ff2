// The files a model was read from, which an export must never replace: the model file
// and those it refers to (an OBJ's .mtl, a glTF's .bin).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cmp {

// The first of `sources` that writing `output` would replace, by the file layer's one
// same-file rule (any spelling, link or hard link); nothing when none is.
std::optional<std::string> SourceReplacedBy(const std::string& output,
                                            const std::vector<std::string>& sources);

}  // namespace cmp
