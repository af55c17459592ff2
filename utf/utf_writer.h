#pragma once

#include <string>

#include "core/error.h"
#include "tree/node_tree.h"

namespace cmp {

// Writes `tree` as a tree file at `path`. The bytes go to a temporary file beside the
// target ("<path>.tmp", or "<path>.tmp<n>" when a regular file already has that name,
// which is left alone), which replaces the target only when every write and the close
// succeeded, so a failure never leaves a half-written file nor destroys an existing one;
// on failure the temporary file is removed. An empty tree, or one too large for the
// format's 32-bit offsets, writes nothing. A failure's message names the file and the
// system's reason.
[[nodiscard]] Status WriteUtfFile(const NodeTree& tree, const char* path);

}  // namespace cmp
