#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "core/error.h"

namespace cmp {

// An append-only record of what the console showed the user and what it answered, for
// tests and unattended runs that want to check it afterwards. One line per exchange:
// fields separated by tabs, with backslash, tab and newline inside a field escaped as
// "\\", "\t" and "\n". The file is opened and closed for every line, so several runs
// and processes can share it. Only a regular file is ever written: a link, FIFO or
// device at the path records nothing.
class Transcript {
  public:
    // An empty path records nothing.
    explicit Transcript(std::string path) : path_(std::move(path)) {}

    bool IsEnabled() const { return !path_.empty(); }
    // CannotWrite, saying why, when the line could not be added.
    [[nodiscard]] Status Record(std::initializer_list<std::string_view> fields) const;

  private:
    std::string path_;
};

// One field as Record writes it.
std::string EscapeTranscriptField(std::string_view field);

}  // namespace cmp
