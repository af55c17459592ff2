#pragma once

#include <string>

#include "tree/node_tree.h"

// Writes `tree` as a tree file at `path`. The bytes go to a temporary file beside the
// target, which replaces the target only when every write and the close succeeded, so a
// failure never leaves a half-written file nor destroys an existing one. An empty tree
// writes nothing. On false, `reason` (when given) says why.
[[nodiscard]] bool WriteUtfFile(const NodeTree& tree, const char* path,
                                std::string* reason = nullptr);
