// cmpinfo's JSON: the same content as the text, for programs.
#pragma once

#include <string>

#include "tools/cmpinfo/read/decoded_leaf.h"
#include "tools/cmpinfo/read/inspect.h"
#include "tools/cmpinfo/report/json_text.h"
#include "tools/cmpinfo/report/report_output.h"

namespace cmp {

// One decoded leaf as a JSON object whose "kind" names what it is: "mesh data stream",
// "mesh reference", "text", "reals" or "bytes".
Json LeafJson(const DecodedLeaf& leaf);

// The whole report as one JSON object and a newline: file, size, counts, and the nodes
// nested as they are in the tree ("children" for branches; "size", "decoded" for leaves;
// "problems" where there are any, and "unlistedProblems" counting those past the budget
// of ProblemBudget). Walks the tree twice: the count of problems comes first. Returns the
// number of problems found.
std::size_t RenderJson(const FileReport& report, ReportOutput& output);

// Only the problems, as a JSON object with the file and a list of {path, message}, and
// "unlistedProblems" counting those past the budget. Returns the number found.
std::size_t RenderProblemsJson(const FileReport& report, ReportOutput& output);

}  // namespace cmp
