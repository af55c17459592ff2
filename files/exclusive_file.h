// A file one run makes for itself at a fixed name (the temporary mesh data file): created
// exclusively and locked, written and read through the one open descriptor (a handle on
// Windows), in the list of staged files while it exists, removed only while its name
// still names it; and what stands at its name when it cannot be created. POSIX in
// exclusive_file_posix.cpp, Win32 in exclusive_file_win32.cpp; the waiting and the
// messages are the caller's.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "core/error.h"
#include "core/little_endian.h"
#include "files/staged_files.h"

namespace cmp {

// What a name that could not be created turned out to hold.
enum class Occupant {
    Gone,        // nothing any more (it went, or was a killed run's leftover and was removed)
    Busy,        // a file another run holds locked: a live export
    Empty,       // an empty file nobody holds: another run's, in the instant before it locks it
    Unfinished,  // a file a run began and never finished (it was killed), nobody holds it
    Stuck,       // a killed run's whole leftover that cannot be removed; `reason` says why
    Folder,      // a folder
    Link,        // a symbolic link (never followed) or another reparse point
    Special,     // a FIFO, a device or a socket (never opened)
    UsersFile,   // a regular file that is not what a run leaves behind
    Unknown,     // could not be examined; `reason` says why
};

struct OccupantReport {
    Occupant occupant = Occupant::Unknown;
    std::string reason;  // the system's reason, for Stuck and Unknown
};

// What a file's first bytes and length say it is.
enum class Leftover {
    None,        // not what a run leaves behind
    Whole,       // everything a run writes: a killed run's leftover, safe to remove
    Unfinished,  // the start of what a run writes, cut short
};

// Judges a file by its first bytes (up to 64) and its length.
using LeftoverTest = std::function<Leftover(BytePiece head, std::uint64_t length)>;

// Looks at what stands at `path` without following a link or opening anything but a
// regular file, and removes it when it is the leftover of a killed run: a regular file
// nobody holds locked that `judge` finds Whole. Then it reports Gone; Stuck when the
// system would not remove it (another user's file in a shared folder, say). Every call
// ends without waiting.
OccupantReport ExamineOccupant(const std::string& path, const LeftoverTest& judge);

class ExclusiveFile {
  public:
    ExclusiveFile() = default;
    // Closes the file, which releases the lock; removing it is Remove's.
    ~ExclusiveFile();
    ExclusiveFile(const ExclusiveFile&) = delete;
    ExclusiveFile& operator=(const ExclusiveFile&) = delete;

    // Creates `path` where nothing stands (never opening what does) and puts it in the
    // list of staged files, with the stop signals held between the two, then locks it
    // against every other run (waiting a moment at most, never with the signals held).
    // NameTaken when something stands there; otherwise CannotCreate, also when the file
    // cannot be listed or locked (it is then removed again). A failure's message is the
    // reason.
    [[nodiscard]] Status Create(const std::string& path);

    bool IsOpen() const;

    // Writes all of `bytes` after what was written before; CannotWrite with the system's
    // reason.
    [[nodiscard]] Status Append(std::span<const std::uint8_t> bytes);

    // The file's length through the open descriptor; CannotRead with the system's reason.
    [[nodiscard]] Result<std::int64_t> GetLength();

    // Up to `length` bytes from the start (fewer when the file has fewer); CannotRead with
    // the system's reason when the system reports an error.
    [[nodiscard]] Result<Bytes> ReadFromStart(std::size_t length);

    // Ok while `path` still names this very file; otherwise CannotRead saying what
    // happened to it.
    [[nodiscard]] Status CheckStillAt(const std::string& path);

    // Removes the file while `path` still names it (and from the list of staged files),
    // then closes it. Nothing when it is not open.
    void Remove(const std::string& path);

  private:
    std::uint64_t written_ = 0;           // where the next Append writes
    std::unique_ptr<StagedFile> staged_;  // while the file is this run's at its name
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int descriptor_ = -1;
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
#endif
};

}  // namespace cmp
