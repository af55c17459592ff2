// cmpinfo's text for people: the tree with every leaf decoded, or only the problems.
#pragma once

#include <string>
#include <vector>

#include "tools/cmpinfo/decoded_leaf.h"
#include "tools/cmpinfo/inspect.h"

namespace cmp {

// The lines that show one decoded leaf, without indentation.
std::vector<std::string> DescribeLeaf(const DecodedLeaf& leaf);

// The indented tree, each leaf with its size and decoded content, problems marked "!"
// under their node, and a count of problems at the end when there are any. Nesting
// deeper than 40 levels is shown by number instead of by ever wider indentation.
std::string RenderText(const FileReport& report);

// Only the problems, one line each: "FILE: PATH: message". Empty for a sound file.
std::string RenderProblems(const FileReport& report);

}  // namespace cmp
