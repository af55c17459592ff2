// A line added to a file of the user's choosing, such as a transcript.
#pragma once

#include <string>
#include <string_view>

#include "core/error.h"

namespace cmp {

// Appends `text` to the regular file at `path`, creating it when nothing stands there.
// The path is the user's choice, so nothing else is ever written: a link is not followed,
// a FIFO or device is not opened for good (a FIFO without a reader fails at once rather
// than hanging), and a file this call created is removed again when the text did not
// reach it. One write, in append mode, keeps the lines of several processes whole.
// CannotWrite with the system's reason, or saying what stands there instead.
[[nodiscard]] Status AppendToRegularFile(const std::string& path, std::string_view text);

}  // namespace cmp
