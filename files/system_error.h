// One wording per system error: the system's own text for its own error numbers, the
// same in every message of every run (a full disk reads alike wherever it is met).
#pragma once

#include <string>

namespace cmp {

#ifdef _WIN32
using SystemError = unsigned long;  // GetLastError()
#else
using SystemError = int;  // errno
#endif

// The system's text for `code`, without a trailing full stop or line end ("No space left
// on device"; on Windows, "There is not enough space on the disk"). 0 gives "".
std::string SystemErrorText(SystemError code);

}  // namespace cmp
