// The system's side of the temporary mesh data file: creating it exclusively and locked,
// writing and reading it through the one open descriptor (a handle on Windows), removing
// it only while its name still names it, and telling what stands at its name when it
// cannot be created. POSIX in stream_file_posix.cpp, Win32 in stream_file_win32.cpp;
// the waiting and the messages are TemporaryStream's.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "core/error.h"
#include "core/little_endian.h"

namespace cmp {

// What a name that could not be created turned out to hold.
enum class Occupant {
    Gone,       // nothing any more (it went, or was a killed run's leftover and was removed)
    Busy,       // a file another run holds locked: a live export
    Empty,      // an empty file nobody holds: another run's, in the instant before it locks it
    Folder,     // a folder
    Link,       // a symbolic link (never followed) or another reparse point
    Special,    // a FIFO, a device or a socket (never opened)
    UsersFile,  // a regular file that is not a mesh data stream of a killed run
    Unknown,    // could not be examined; `reason` says why
};

struct OccupantReport {
    Occupant occupant = Occupant::Unknown;
    std::string reason;  // the system's reason, for Unknown
};

// Looks at what stands at `path` without following a link or opening anything but a
// regular file, and removes it when it is the leftover of a killed run: a regular file
// nobody holds locked whose content is recognisably a whole mesh data stream. Then it
// reports Gone.
OccupantReport ExamineOccupant(const std::string& path);

class StreamFile {
  public:
    StreamFile() = default;
    // Closes the file, which releases the lock; removing it is Remove's.
    ~StreamFile();
    StreamFile(const StreamFile&) = delete;
    StreamFile& operator=(const StreamFile&) = delete;

    // Creates `path` where nothing stands (never opening what does) and locks it against
    // every other run. NameTaken when something stands there; otherwise CannotCreate.
    // A failure's message is the system's reason.
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

    // Removes the file while `path` still names it, then closes it. Nothing when it is
    // not open.
    void Remove(const std::string& path);

  private:
    std::uint64_t written_ = 0;  // where the next Append writes
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int descriptor_ = -1;
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
#endif
};

// Whether the first bytes (`head`, at least the stream header) and the length of a file
// make it a whole mesh data stream: a stream header this exporter writes, and exactly as
// many bytes as its counts call for.
bool IsWholeMeshDataStream(const Bytes& head, std::uint64_t length);

// The path made absolute against the current folder, also when that folder has been
// removed (then its former path is given, as the system still knows it).
std::string FullPath(const std::string& path);

// Whether `outputPath` and `streamPath` name one file: both made absolute, the folders
// resolved (and the output's links), letter case ignored on Windows.
bool IsSameFile(const std::string& outputPath, const std::string& streamPath);

}  // namespace cmp
