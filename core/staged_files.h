// Files a run has created and not yet finished with (the temporary mesh data file, a
// tree file staged beside its destination), kept where a handler of SIGINT or SIGTERM
// can remove them: an export stopped in the middle must not leave them behind.
//
// The list lives in fixed storage and RemoveStagedFiles only calls unlink, so it is safe
// to call from a signal handler. One process, one list; a run registers its files while
// they exist and forgets them once they are gone or have become the user's.
#pragma once

#include <string>

namespace cmp {

// How many files may be registered at once, and the longest path kept.
inline constexpr int MaxStagedFiles = 8;
inline constexpr std::size_t MaxStagedPathLength = 4095;

// Registers `path`, made absolute against the current folder now (so that a later change
// of folder does not matter). Returns the slot to forget it by, or -1 when the list is
// full or the path too long: the file is then only not removed on a signal.
int RegisterStagedFile(const std::string& path);

// Forgets the file of `slot` (nothing for -1).
void ForgetStagedFile(int slot);

// Unlinks every registered file and forgets it. Async-signal-safe.
void RemoveStagedFiles() noexcept;

// Registers a file for its own lifetime.
class StagedFile {
  public:
    explicit StagedFile(const std::string& path) : slot_(RegisterStagedFile(path)) {}
    ~StagedFile() { ForgetStagedFile(slot_); }
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

  private:
    int slot_;
};

}  // namespace cmp
