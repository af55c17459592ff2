// cmpinfo's JSON: the same content as the text, for programs.
#pragma once

#include <string>

#include "tools/cmpinfo/decoded_leaf.h"
#include "tools/cmpinfo/inspect.h"
#include "tools/cmpinfo/json_text.h"

namespace cmp {

// One decoded leaf as a JSON object whose "kind" names what it is: "mesh data stream",
// "mesh reference", "text", "reals" or "bytes".
Json LeafJson(const DecodedLeaf& leaf);

// The whole report as one JSON object and a newline: file, size, counts, and the nodes
// nested as they are in the tree ("children" for branches; "size", "decoded" for leaves;
// "problems" where there are any).
std::string RenderJson(const FileReport& report);

// Only the problems, as a JSON object with the file and a list of {path, message}.
std::string RenderProblemsJson(const FileReport& report);

}  // namespace cmp
