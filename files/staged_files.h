// Files a run has created and not yet finished with (the temporary mesh data file, a
// file staged beside its destination), kept where a handler of SIGINT or SIGTERM can
// remove them: a run stopped in the middle must not leave them behind.
//
// The list lives in fixed storage and RemoveStagedFiles only calls unlink, so it is safe
// to call from a signal handler. One process, one list; a run registers its files while
// they exist and forgets them once they are gone or have become the user's.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace cmp {

// How many files may be registered at once, and the longest path kept.
inline constexpr std::size_t MaxStagedFiles = 8;
inline constexpr std::size_t MaxStagedPathLength = 4095;

// One file in the list for the object's lifetime. Made absolute against the current
// folder when registered, so a later change of folder does not matter. Create the file
// and register it with the stop signals held (StopSignalsHeld), so that no stop falls
// between the two.
class StagedFile {
  public:
    explicit StagedFile(const std::string& path);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // False when the list was full or the path too long: the file is then only not
    // removed on a signal; everything else about the run is the same.
    bool IsRegistered() const { return slot_.has_value(); }

  private:
    std::optional<std::size_t> slot_;
};

// Unlinks every registered file and forgets it. Async-signal-safe.
void RemoveStagedFiles() noexcept;

}  // namespace cmp
