#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/little_endian.h"
#include "tree/node_tree.h"

struct UtfReadError {
    std::string message;
    std::size_t offset = 0;  // byte offset in the file where the problem lies
};

// Turns any bytes into a NodeTree, treating them as hostile: checks the header, every
// record's offsets, loops, shared children and unterminated names, and never reads
// outside `bytes`. Returns false with the first problem found.
[[nodiscard]] bool ReadUtfFile(const Bytes& bytes, NodeTree& tree, UtfReadError& error);
