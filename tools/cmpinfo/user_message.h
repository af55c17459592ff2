// cmpinfo's word to the user on standard error.
#pragma once

#include <string_view>

namespace cmp {

// Writes "cmpinfo: MESSAGE" and a line break to standard error. Messages carry paths from
// the command line and names from files: their control characters, and bytes that are not
// UTF-8, show as \xNN, so that they can neither command the terminal nor break the line.
void TellUser(std::string_view message);

}  // namespace cmp
