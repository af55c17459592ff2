// The three ways cmpinfo prints a report.
#pragma once

#include <string>

#include "tools/cmpinfo/inspect.h"

namespace cmp {

// The indented tree, each leaf with its size and decoded content, problems marked "!"
// under their node, and a count of problems at the end when there are any. Nesting
// deeper than 40 levels is shown by number instead of by ever wider indentation.
std::string RenderText(const FileReport& report);

// The same content as one JSON object: file, size, counts, and the nodes nested as
// they are in the tree ("children" for branches; "size", "decoded" for leaves; "problems"
// where there are any).
std::string RenderJson(const FileReport& report);

// Only the problems, one line each: "FILE: PATH: message". Empty for a sound file.
std::string RenderProblems(const FileReport& report);

// Only the problems, as a JSON object with the file and a list of {path, message}.
std::string RenderProblemsJson(const FileReport& report);

}  // namespace cmp
