// Files a run has created and not yet finished with (the temporary mesh data file, a
// file staged beside its destination), kept where a handler of a stop signal can remove
// them: a run stopped in the middle must not leave them behind.
//
// The list lives in fixed storage and RemoveStagedFiles only calls unlink, so it is safe
// to call from a signal handler. One process, one list; a run registers its files while
// they exist and forgets them once they are gone or have become the user's.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "core/error.h"

namespace cmp {

// How many files may be registered at once, and the longest full path kept (the longest
// the system itself can remove by name).
inline constexpr std::size_t MaxStagedFiles = 8;
inline constexpr std::size_t MaxStagedPathLength = 4095;

// One file in the list for the object's lifetime.
class StagedFile {
  public:
    // Puts `path` in the list, made absolute against the current folder so that a later
    // change of folder does not matter. CannotCreate, saying why, when it cannot be
    // listed: the full path is longer than MaxStagedPathLength, the current folder is
    // gone, or the list is full. A file that cannot be listed must not be made (a stop
    // would leave it behind): register it, with the stop signals held (StopSignalsHeld),
    // in the same step as its creation, and remove it again when this fails.
    [[nodiscard]] static Result<std::unique_ptr<StagedFile>> Register(const std::string& path);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

  private:
    explicit StagedFile(std::size_t slot) : slot_(slot) {}
    std::size_t slot_;
};

// Unlinks every registered file and forgets it. Async-signal-safe.
void RemoveStagedFiles() noexcept;

}  // namespace cmp
