// The files a model was read from, which an export must never replace: the model file
// and those it refers to (an OBJ's .mtl, a glTF's .bin).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cmp {

// The first of `sources` that writing `output` would replace: the same file by any
// spelling, through links (the export writes a link's target) or as another hard link of
// it. Nothing when `output` names nothing yet, or a file none of them is.
std::optional<std::string> SourceReplacedBy(const std::string& output,
                                            const std::vector<std::string>& sources);

}  // namespace cmp
