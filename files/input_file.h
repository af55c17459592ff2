// A file opened to be read as outside input: sized when it is a regular file, and read
// in steps that grow with what really arrives, never with what a file claims.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "core/error.h"
#include "core/little_endian.h"

namespace cmp {

class InputFile {
  public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens `path` for reading; CannotRead with the system's reason.
    [[nodiscard]] Status Open(const std::string& path);

    // The size of a regular file that says it has bytes; nothing for a pipe, a device, a
    // folder (whose reads fail) and the system's files that say they are empty but are not.
    std::optional<std::uint64_t> GetRegularSize() const { return regularSize_; }

    // Reads on until `bytes` holds `end` bytes or the input ends; CannotRead with the
    // system's reason.
    [[nodiscard]] Status ReadUpTo(std::uint64_t end, Bytes& bytes);

  private:
    std::FILE* file_ = nullptr;
    std::optional<std::uint64_t> regularSize_;
};

}  // namespace cmp
