// The model of a file that reads as a tree file and passes every check: what the
// picture and the glTF are made from. A file the checks refuse gives no model, so
// nothing is ever drawn or converted from bytes that do not hold together.
#pragma once

#include <cstddef>
#include <string>

#include "core/error.h"
#include "tools/cmpinfo/read/exported_model.h"
#include "tree/tree.h"

namespace cmp {

// A tree file read whole and parsed: its length and its tree.
struct LoadedTree {
    std::size_t fileSize = 0;
    NodeTree tree;
};

// Reads and parses `path`. The error's message is one line for the user, naming the file:
// "PATH: cannot read: REASON" or "PATH: not a readable tree file: REASON (at byte N)".
Result<LoadedTree> LoadTreeFile(const std::string& path);

// Reads `path` and checks it as `cmpinfo --check` does. The error's message is one line
// for the user, naming the file: why it cannot be read, or how many problems the checks
// found and the first of them (its node path and what is wrong).
Result<StoredModel> LoadCheckedModel(const std::string& path);

}  // namespace cmp
