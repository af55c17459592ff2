// The decisions that the GTK save dialog takes on the names it is given and returns,
// kept free of GTK so that they can be checked without a display.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cmp {

// The folder that holds `path`: everything before its last '/', "/" for a file in the
// root, "." for a bare name.
std::string ContainingFolder(std::string_view path);

// The glob patterns of one filter as the Win32 dialog writes them ("*.cmp;*.cma"), split
// at ';' with blanks trimmed and empty entries dropped. Each pattern matches letters in
// any case ("*.cmp" becomes "*.[cC][mM][pP]"), and "*.*" matches every name, with or
// without a dot, as it does on Windows.
std::vector<std::string> FilterGlobs(std::string_view patterns);

}  // namespace cmp
