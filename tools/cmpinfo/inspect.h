// What cmpinfo knows about one tree file: every node in tree order with its decoded
// leaf, and every problem found, each tied to the node it concerns.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tools/cmpinfo/decoded_leaf.h"
#include "tree/node_tree.h"

namespace cmp {

struct NodeReport {
    int depth = 0;
    std::string name;
    std::ptrdiff_t parent = -1;  // index of the parent in FileReport::nodes; -1 at top level
    bool isLeaf = true;
    std::size_t size = 0;  // leaf bytes
    DecodedLeaf decoded;   // leaves only
    std::vector<std::string> problems;
};

struct FileReport {
    std::string file;
    std::size_t fileSize = 0;
    std::vector<NodeReport> nodes;  // pre-order
    std::size_t CountProblems() const;
};

// The names from the root to node `index`, joined by "\". Deep paths keep their last
// 16 names after a "...", so that no hostile nesting makes one path long.
std::string NodePath(const FileReport& report, std::size_t index);

// Walks `tree` without recursion, decodes every leaf by its name and checks what links
// leaves to each other: each "VMeshRef" must name an entry of a "VMeshLibrary" and
// count as many meshes as that entry's "VMeshData".
FileReport InspectTree(const NodeTree& tree, std::string file, std::size_t fileSize);

}  // namespace cmp
