#pragma once

#include <string>

#include "tree/tree.h"

namespace cmp {

// The tree as text, one node per line in tree order: top-level nodes at the margin,
// their descendants drawn with "├── ", "└── " and "│   " connectors. Every line ends
// with '\n'; an empty tree gives "(empty)\n". Names are shown as TerminalText shows them,
// so that a name can neither command the terminal nor break a line. Walks with an explicit stack,
// so depth is no risk.
std::string DrawTree(const NodeTree& tree);

}  // namespace cmp
