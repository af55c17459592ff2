#include "files/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

#include "files/platform.h"

namespace cmp {

namespace {

// flock, not fcntl: it belongs to the open file, so a second descriptor of this process
// does not share it, and it goes with the last descriptor, also when a run is killed.
// Never waits: a run that must wait for a lock polls, so that the wait has an end and a
// stop signal ends it.
bool TryLock(int descriptor) {
    int locked;
    do {
        locked = flock(descriptor, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    return locked == 0;
}

// How long a new file's lock is waited for. Nobody but a run examining what stands at the
// name (for an instant) holds a file this run has just made; more than this is a program
// that keeps it locked.
constexpr std::chrono::milliseconds NewFileLockWait{2000};
constexpr std::chrono::milliseconds NewFileLockPoll{5};

bool LockNewFile(int descriptor) {
    const auto until = std::chrono::steady_clock::now() + NewFileLockWait;
    while (!TryLock(descriptor)) {
        if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= until) {
            return false;
        }
        std::this_thread::sleep_for(NewFileLockPoll);
    }
    return true;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

Occupant OccupantOfType(mode_t mode) {
    if (S_ISDIR(mode)) {
        return Occupant::Folder;
    }
    if (S_ISLNK(mode)) {
        return Occupant::Link;
    }
    return S_ISREG(mode) ? Occupant::UsersFile : Occupant::Special;
}

// Removes `path` while it still names the file `seen`. The name is checked last thing
// before the removal, after the file was judged: a file put at the name in the meantime
// is somebody's and stays.
OccupantReport RemoveLeftover(const std::string& path, const struct stat& seen) {
    struct stat now {};
    if (lstat(path.c_str(), &now) != 0 || !SameFile(now, seen)) {
        return {Occupant::Gone, {}};
    }
    if (unlink(path.c_str()) != 0 && errno != ENOENT) {
        return {Occupant::Stuck, SystemErrorText(errno)};
    }
    return {Occupant::Gone, {}};
}

// A regular file, open and locked by this process: a killed run's leftover goes.
OccupantReport JudgeLockedFile(int descriptor, const std::string& path, const struct stat& seen,
                               const LeftoverTest& judge) {
    struct stat now {};
    // Locked only after its owner had removed it: the name may stand for a new file now.
    if (lstat(path.c_str(), &now) != 0 || !SameFile(now, seen)) {
        return {Occupant::Gone, {}};
    }
    if (seen.st_size == 0) {
        return {Occupant::Empty, {}};
    }
    Bytes head(LeftoverHeadSize);
    const ssize_t got = pread(descriptor, head.data(), head.size(), 0);
    head.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    switch (judge(head, static_cast<std::uint64_t>(seen.st_size))) {
        case Leftover::Whole:
            return RemoveLeftover(path, seen);
        case Leftover::Unfinished:
            return {Occupant::Unfinished, {}};
        case Leftover::None:
            break;
    }
    return {Occupant::UsersFile, {}};
}

}  // namespace

OccupantReport ExamineOccupant(const std::string& path, const LeftoverTest& judge) {
    struct stat seen {};
    if (lstat(path.c_str(), &seen) != 0) {
        return errno == ENOENT ? OccupantReport{Occupant::Gone, {}}
                               : OccupantReport{Occupant::Unknown, SystemErrorText(errno)};
    }
    if (!S_ISREG(seen.st_mode)) {
        return {OccupantOfType(seen.st_mode), {}};
    }
    // O_NONBLOCK and O_NOFOLLOW: should a FIFO or a link take the regular file's place in
    // the meantime, it is neither waited on nor followed.
    const int descriptor =
        open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        if (errno == ENOENT) {
            return {Occupant::Gone, {}};
        }
        // Unreadable: not this exporter's, which makes its file readable to its owner.
        return {errno == ELOOP ? Occupant::Link : Occupant::UsersFile, {}};
    }
    struct stat opened {};
    OccupantReport report{Occupant::Gone, {}};
    if (fstat(descriptor, &opened) != 0 || !SameFile(opened, seen)) {
        report = {Occupant::Gone, {}};  // replaced in the meantime: look again
    } else if (!TryLock(descriptor)) {
        report = {errno == EWOULDBLOCK ? Occupant::Busy : Occupant::UsersFile, {}};
    } else {
        report = JudgeLockedFile(descriptor, path, opened, judge);
    }
    close(descriptor);
    return report;
}

ExclusiveFile::~ExclusiveFile() {
    if (descriptor_ >= 0) {
        close(descriptor_);
    }
}

Status ExclusiveFile::Create(const std::string& path) {
    {
        // A stop between the file's creation and its registration would leave it behind.
        const StopSignalsHeld held;
        const int descriptor =
            open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
        if (descriptor < 0) {
            const int error = errno;
            return Error{error == EEXIST ? ErrorCode::NameTaken : ErrorCode::CannotCreate,
                         SystemErrorText(error)};
        }
        struct stat created {};
        Result<std::unique_ptr<StagedFile>> listed =
            fstat(descriptor, &created) == 0
                ? StagedFile::Register(path)
                : Result<std::unique_ptr<StagedFile>>(
                      Error{ErrorCode::CannotCreate, SystemErrorText(errno)});
        if (!listed) {
            unlink(path.c_str());
            close(descriptor);
            return listed.status();
        }
        staged_ = std::move(listed.value());
        descriptor_ = descriptor;
        device_ = created.st_dev;
        inode_ = created.st_ino;
        written_ = 0;
    }
    // Another run that examines the file before this lock finds it empty and looks again.
    if (!LockNewFile(descriptor_)) {
        const std::string reason =
            errno == EWOULDBLOCK ? "another program keeps it locked" : SystemErrorText(errno);
        Remove(path);
        return Error{ErrorCode::CannotCreate, reason};
    }
    return Status::Ok();
}

bool ExclusiveFile::IsOpen() const {
    return descriptor_ >= 0;
}

Status ExclusiveFile::Append(std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = pwrite(descriptor_, bytes.data() + done, bytes.size() - done,
                                     static_cast<off_t>(written_ + done));
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return Error{ErrorCode::CannotWrite, SystemErrorText(wrote < 0 ? errno : ENOSPC)};
        }
        done += static_cast<std::size_t>(wrote);
    }
    written_ += done;
    return Status::Ok();
}

Result<std::int64_t> ExclusiveFile::GetLength() {
    struct stat now {};
    if (fstat(descriptor_, &now) != 0) {
        return Error{ErrorCode::CannotRead, SystemErrorText(errno)};
    }
    return static_cast<std::int64_t>(now.st_size);
}

Result<Bytes> ExclusiveFile::ReadFromStart(std::size_t length) {
    Bytes bytes(length);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got =
            pread(descriptor_, bytes.data() + done, length - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return Error{ErrorCode::CannotRead, SystemErrorText(errno)};
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

Status ExclusiveFile::CheckStillAt(const std::string& path) {
    struct stat now {};
    if (lstat(path.c_str(), &now) != 0) {
        return Error{ErrorCode::CannotRead,
                     "it is no longer there (" + SystemErrorText(errno) + ")"};
    }
    if (now.st_dev != device_ || now.st_ino != inode_) {
        return Error{ErrorCode::CannotRead, "another file has taken its place"};
    }
    return Status::Ok();
}

void ExclusiveFile::Remove(const std::string& path) {
    if (descriptor_ < 0) {
        return;
    }
    // Unlinked before the lock goes with the close: a run waiting for the name never
    // finds this file unlocked.
    const StopSignalsHeld held;
    if (CheckStillAt(path)) {
        unlink(path.c_str());
    }
    staged_.reset();
    close(descriptor_);
    descriptor_ = -1;
}

}  // namespace cmp
