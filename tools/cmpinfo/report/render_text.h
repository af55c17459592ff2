// cmpinfo's text for people: the tree with every leaf decoded, or only the problems.
#pragma once

#include <string>
#include <vector>

#include "tools/cmpinfo/read/decoded_leaf.h"
#include "tools/cmpinfo/read/inspect.h"
#include "tools/cmpinfo/report/report_output.h"

namespace cmp {

// The lines that show one decoded leaf, without indentation.
std::vector<std::string> DescribeLeaf(const DecodedLeaf& leaf);

// The indented tree, each leaf with its size and decoded content, problems marked "!"
// under their node, and a count of problems at the end when there are any. Nesting
// deeper than 40 levels is shown by number instead of by ever wider indentation. Problems
// past the budget (ProblemBudget) are counted, not listed: "! and N more" under a leaf,
// and ", N of them not listed" after the count. Returns the number of problems found.
std::size_t RenderText(const FileReport& report, ReportOutput& output);

// Only the problems, one line each: "FILE: PATH: message"; "FILE: PATH: and N more" after
// a leaf's listed ones, and "FILE: and N more problems in later nodes" at the end, past
// the budget. Nothing for a file without problems. Returns the number of problems found.
std::size_t RenderProblems(const FileReport& report, ReportOutput& output);

}  // namespace cmp
