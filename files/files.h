// The file layer: everything the product does on the disk, below every layer that writes.
//
// - SystemErrorText: the one wording of a system error.
// - FullPath, IsSameFile, FindSameFile: paths as the system resolves them.
// - StagedFile, RemoveStagedFiles: the signal-safe list of files a run has on disk and
//   must not leave behind; StopSignalGuard removes them when a stop signal ends the
//   process, StopSignalsHeld closes the gap between a file's creation and its listing.
// - FindWriteDestination, StagingFile, WriteStagedFile: a file's new content staged
//   beside it, made durable and renamed over it; every writer of the product goes here.
// - ExclusiveFile, ExamineOccupant: a file at a fixed name that one run makes for itself,
//   locked against the others (the temporary mesh data file).
// - InputFile: outside input, read in steps that grow with what arrives.
// - AppendToRegularFile: a line added to a file of the user's choosing.
//
// The only product code besides the dialogs that knows which system it runs on: each
// concept whose work differs has its portable part in <concept>.cpp and the rest in
// <concept>_posix.cpp and <concept>_win32.cpp, of which the build takes one; what the
// two halves share is in platform.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#endif

#include "core/error.h"
#include "core/little_endian.h"

namespace cmp {

// -- System errors
// One wording per system error: the system's own text for its own error numbers, the
// same in every message of every run (a full disk reads alike wherever it is met).

#ifdef _WIN32
using SystemError = unsigned long;  // GetLastError()
#else
using SystemError = int;  // errno
#endif

// The system's text for `code`, without a trailing full stop or line end ("No space left
// on device"; on Windows, "There is not enough space on the disk"). 0 gives "".
std::string SystemErrorText(SystemError code);

// -- Paths
// Paths as the system resolves them: made whole, and compared for naming one file.

// The path made absolute against the current folder, also when that folder has been
// removed (then its former path is given, as the system still knows it).
std::string FullPath(const std::string& path);

// Whether writing `output` would write the file `other` names. When both name a file, the
// same file by any spelling, link or hard link; otherwise by name: both made absolute, the
// folders resolved, `output`'s links followed also to where nothing stands yet, letter
// case ignored on Windows.
bool IsSameFile(const std::string& output, const std::string& other);

// The index of the first of `others` that writing `output` would write, by IsSameFile;
// nothing when none is.
std::optional<std::size_t> FindSameFile(const std::string& output,
                                        const std::vector<std::string>& others);

// -- Staged files
// Files a run has created and not yet finished with (the temporary mesh data file, a
// file staged beside its destination), kept where a handler of a stop signal can remove
// them: a run stopped in the middle must not leave them behind.
//
// The list lives in fixed storage and RemoveStagedFiles only calls unlink, so it is safe
// to call from a signal handler. One process, one list; a run registers its files while
// they exist and forgets them once they are gone or have become the user's.

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

// -- Stop signals
// While a run has files on disk, every signal that would end the process (a closed
// terminal's SIGHUP, Ctrl+C, Ctrl+\, a kill, a broken pipe, a timer) removes them first:
// an export, or a file cmpinfo writes, stopped in the middle leaves nothing behind. On
// Windows the console's events (Ctrl+C, Ctrl+Break, the window closed, logoff, shutdown)
// do the same where a console exists.

// Installs, for its lifetime, handlers of the stop signals (HUP, INT, QUIT, TERM, PIPE,
// ALRM, USR1, USR2, VTALRM, PROF, XCPU, XFSZ) that remove the staged files
// (StagedFile above), put back the disposition found and raise the signal again, so
// the process ends by that signal as it would have without the run (a shell sees 129,
// 130, 143, ...). A signal the process ignores stays ignored. The handlers found are
// restored when the guard goes. On Windows, a console control handler that removes the
// staged files and leaves the event to the handlers before it (by default, the end of
// the process).
class StopSignalGuard {
  public:
    StopSignalGuard();
    ~StopSignalGuard();
    StopSignalGuard(const StopSignalGuard&) = delete;
    StopSignalGuard& operator=(const StopSignalGuard&) = delete;
};

// Holds the stop signals back in this thread while it lives; one that comes meanwhile
// is delivered when it goes. Held from just before a file is created until it is in the
// list of staged files (and around its removal), so that a stop at any instant finds
// the file either listed or not there. Never held around a wait. On Windows, where the
// console's handler runs in a thread of its own, that handler waits for it to go.
class StopSignalsHeld {
  public:
    StopSignalsHeld();
    ~StopSignalsHeld();
    StopSignalsHeld(const StopSignalsHeld&) = delete;
    StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;

  private:
#ifndef _WIN32
    sigset_t previous_;  // the thread's mask before
#endif
};

// -- Write destinations
// What a path to be written names, found before anything is written: the regular file
// that a finished tree file will replace (for a link, the file it leads to) or the place
// where a new one will appear, and what of the old file the new one must keep.

struct WriteDestination {
    // The path the finished file is renamed to: the path given, or for a link the
    // absolute path of the regular file at its end (the link itself stays as it is).
    std::string path;
    // Whether a regular file stands there now, to be replaced.
    bool replaces = false;
    // That file's permission bits, owner and group (POSIX only; zero elsewhere).
    unsigned permissions = 0;
    unsigned owner = 0;
    unsigned group = 0;
    // Whether that file is read-only: marked so (no write permission for anyone; on
    // Windows the read-only attribute), or not writable by this user. The rename takes
    // only the folder's permission, so it would go behind the mark: WriteStagedFile
    // refuses such a file.
    bool readOnly = false;
};

// Looks at what `path` names without opening it. Refused, as CannotReplace with a message
// naming the path: anything that is not a regular file (a folder, a named pipe, a device,
// a socket), a link to such a thing or to nothing, and a file with more than one name
// (hard links), whose other names a replacement would leave holding the old content.
// Nothing there at all is fine: the file will be new.
Result<WriteDestination> FindWriteDestination(const std::string& path);

// -- Staged writes
// The file a tree file is written to before it takes its destination's place.

// A new file in the destination's folder, named after the destination followed by a dot,
// six random letters or digits and ".tmp" ("ship.cmp.x7Qk2P.tmp"; the destination's name
// is cut short where the whole would pass the 255 characters a file name may have, or on
// Windows the 259 of a path). It is created only where nothing stood, never through a
// link, with another random name when one is taken, so nothing beside the destination is
// ever opened or replaced. While it exists it is in the process's list of staged files,
// which a stop signal's handler removes; dropping it unfinished removes it.
class StagingFile {
  public:
    StagingFile() = default;
    ~StagingFile();
    StagingFile(const StagingFile&) = delete;
    StagingFile& operator=(const StagingFile&) = delete;

    // Creates the file for `destination`, private to its owner when it is to replace a
    // file (it gets that file's permissions when finished). CannotCreate on failure.
    Status Create(const WriteDestination& destination);
    // Appends `bytes`. CannotWrite on failure.
    Status Write(std::span<const std::uint8_t> bytes);
    // Makes the bytes durable, gives the file the replaced file's permissions (and, as far
    // as the system allows, its owner and group), and closes it. CannotWrite on failure.
    Status Finish();
    // Renames the finished file over the destination, in one step. CannotReplace on
    // failure.
    Status Replace();

    const std::string& GetName() const { return name_; }

  private:
    // Why a new file could not be made at name_: the system's words, and whether it is
    // because something stands there already (another random name may do).
    struct OpenFailure {
        bool nameTaken;
        std::string reason;
    };
    // Makes the file name_ names, new, and opens it for writing (the system's half).
    std::optional<OpenFailure> OpenNew();
    // Lists the file just made at name_ (StagedFile); one that cannot be listed is
    // removed again, CannotCreate saying why.
    Status Register();
    void Close();

    WriteDestination destination_;
    std::string name_;
    std::unique_ptr<StagedFile> registration_;  // while the file exists under name_
#ifdef _WIN32
    void* handle_ = nullptr;  // a HANDLE
#else
    int descriptor_ = -1;
#endif
};

// `pieces`, one write each in order, as the new content of `path`: its destination found
// as FindWriteDestination finds it, the bytes staged, made durable and renamed over the
// destination. A read-only file is not replaced (CannotReplace saying so): every writer of
// the product writes through here. A failure leaves what stood at the path as it was,
// removes the staging file and gives the step's error.
[[nodiscard]] Status WriteStagedFile(const std::string& path, std::span<const BytePiece> pieces);

// -- Exclusive files
// A file one run makes for itself at a fixed name (the temporary mesh data file): created
// exclusively and locked, written and read through the one open descriptor (a handle on
// Windows), in the list of staged files while it exists, removed only while its name
// still names it; and what stands at its name when it cannot be created. The waiting and
// the messages are the caller's.

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

// -- Input files
// A file opened to be read as outside input: sized when it is a regular file, and read
// in steps that grow with what really arrives, never with what a file claims.

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

// -- Appending lines
// A line added to a file of the user's choosing, such as a transcript.

// Appends `text` to the regular file at `path`, creating it when nothing stands there.
// The path is the user's choice, so nothing else is ever written: a link is not followed,
// a FIFO or device is not opened for good (a FIFO without a reader fails at once rather
// than hanging), and a file this call created is removed again when the text did not
// reach it. One write, in append mode, keeps the lines of several processes whole.
// CannotWrite with the system's reason, or saying what stands there instead.
[[nodiscard]] Status AppendToRegularFile(const std::string& path, std::string_view text);

}  // namespace cmp
