#include "files/staging_file.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string_view>

#include "core/terminal_text.h"
#include "files/stop_signals.h"
#include "files/system_error.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace cmp {

namespace {

constexpr std::size_t RandomLength = 6;
constexpr std::string_view Suffix = ".tmp";
constexpr int Attempts = 100;
constexpr std::size_t LongestFileName = 255;
#ifdef _WIN32
constexpr std::size_t LongestPath = MAX_PATH - 1;
constexpr const char* Separators = "/\\:";
#else
constexpr const char* Separators = "/";
#endif

std::uint64_t Seed() {
    std::uint64_t seed = static_cast<std::uint64_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
#ifdef _WIN32
    seed ^= static_cast<std::uint64_t>(GetCurrentProcessId()) << 32;
#else
    seed ^= static_cast<std::uint64_t>(::getpid()) << 32;
#endif
    // Some systems' random_device is a fixed sequence or throws; the clock and the
    // process id above keep the names apart then, and a taken name is retried anyway.
    try {
        std::random_device device;
        seed ^= (static_cast<std::uint64_t>(device()) << 32) | device();
    } catch (...) {
    }
    return seed;
}

std::string RandomPart() {
    static constexpr char Alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 engine(Seed());
    std::uniform_int_distribution<std::size_t> pick(0, sizeof Alphabet - 2);
    std::string part;
    for (std::size_t i = 0; i < RandomLength; ++i) {
        part += Alphabet[pick(engine)];
    }
    return part;
}

// The longest start of `name` of at most `length` bytes that does not end inside a
// UTF-8 sequence.
std::string StartOf(const std::string& name, std::size_t length) {
    if (name.size() <= length) {
        return name;
    }
    while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) {
        --length;
    }
    return name.substr(0, length);
}

// "<folder>/<name>.<random>.tmp" for the destination "<folder>/<name>", with <name> cut
// short where the whole name or path would be too long.
std::string StagingNameFor(const std::string& destination) {
    const std::size_t separator = destination.find_last_of(Separators);
    const std::size_t folderLength = separator == std::string::npos ? 0 : separator + 1;
    std::size_t room = LongestFileName;
#ifdef _WIN32
    room = std::min(room, LongestPath > folderLength ? LongestPath - folderLength : 0);
#endif
    const std::size_t tail = 1 + RandomLength + Suffix.size();
    return destination.substr(0, folderLength) +
           StartOf(destination.substr(folderLength), room > tail ? room - tail : 0) + "." +
           RandomPart() + std::string(Suffix);
}

Error Failure(ErrorCode code, const std::string& what, const std::string& reason) {
    return Error{code, what + ": " + (reason.empty() ? std::string("short write") : reason)};
}

}  // namespace

Status StagingFile::Register() {
    Result<std::unique_ptr<StagedFile>> listed = StagedFile::Register(name_);
    if (!listed) {
        Close();
#ifdef _WIN32
        DeleteFileA(name_.c_str());
#else
        ::unlink(name_.c_str());
#endif
        return Failure(ErrorCode::CannotCreate, "cannot create '" + NameInMessage(name_) + "'",
                       listed.message());
    }
    registration_ = std::move(listed.value());
    return Status::Ok();
}

StagingFile::~StagingFile() {
    Close();
    if (registration_) {
        // Gone and forgotten in one step, as far as a stop can tell.
        const StopSignalsHeld held;
#ifdef _WIN32
        DeleteFileA(name_.c_str());
#else
        ::unlink(name_.c_str());
#endif
        registration_.reset();
    }
}

#ifdef _WIN32

Status StagingFile::Create(const WriteDestination& destination) {
    destination_ = destination;
    // A console event between the file's creation and its registration would leave it.
    const StopSignalsHeld held;
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < Attempts && error == ERROR_FILE_EXISTS; ++attempt) {
        name_ = StagingNameFor(destination.path);
        HANDLE handle = CreateFileA(name_.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            handle_ = handle;
            return Register();
        }
        error = GetLastError();
        if (error == ERROR_ALREADY_EXISTS) {
            error = ERROR_FILE_EXISTS;
        }
    }
    return Failure(ErrorCode::CannotCreate, "cannot create '" + NameInMessage(name_) + "'",
                   SystemErrorText(error));
}

Status StagingFile::Write(std::span<const std::uint8_t> bytes) {
    const unsigned char* next = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(static_cast<HANDLE>(handle_), next, chunk, &written, nullptr)) {
            return Failure(ErrorCode::CannotWrite, "cannot write '" + NameInMessage(name_) + "'",
                           SystemErrorText(GetLastError()));
        }
        if (written == 0) {
            return Failure(ErrorCode::CannotWrite, "cannot write '" + NameInMessage(name_) + "'",
                           "");
        }
        next += written;
        left -= written;
    }
    return Status::Ok();
}

Status StagingFile::Finish() {
    const bool flushed = FlushFileBuffers(static_cast<HANDLE>(handle_));
    const DWORD flushError = GetLastError();
    const bool closed = CloseHandle(static_cast<HANDLE>(handle_));
    const DWORD closeError = GetLastError();
    handle_ = nullptr;
    if (!flushed || !closed) {
        return Failure(ErrorCode::CannotWrite, "cannot write '" + NameInMessage(name_) + "'",
                       SystemErrorText(!flushed ? flushError : closeError));
    }
    return Status::Ok();
}

Status StagingFile::Replace() {
    // rename refuses an existing target here, so the replacing move is asked for.
    if (!MoveFileExA(name_.c_str(), destination_.path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return Failure(ErrorCode::CannotReplace,
                       "cannot replace '" + NameInMessage(destination_.path) + "' with '" +
                           NameInMessage(name_) + "'",
                       SystemErrorText(GetLastError()));
    }
    registration_.reset();
    return Status::Ok();
}

void StagingFile::Close() {
    if (handle_ != nullptr) {
        CloseHandle(static_cast<HANDLE>(handle_));
        handle_ = nullptr;
    }
}

#else

Status StagingFile::Create(const WriteDestination& destination) {
    destination_ = destination;
    // Private until finished when it replaces a file, whose permissions it then gets;
    // a new file has what the user's umask gives.
    const mode_t mode = destination.replaces ? 0600 : 0666;
    // A stop that came between the file's creation and its registration would leave the
    // file behind.
    const StopSignalsHeld held;
    int error = EEXIST;
    for (int attempt = 0; attempt < Attempts && error == EEXIST; ++attempt) {
        name_ = StagingNameFor(destination.path);
        descriptor_ =
            ::open(name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (descriptor_ >= 0) {
            return Register();
        }
        error = errno;
    }
    return Failure(ErrorCode::CannotCreate, "cannot create '" + NameInMessage(name_) + "'",
                   SystemErrorText(error));
}

Status StagingFile::Write(std::span<const std::uint8_t> bytes) {
    const unsigned char* next = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(descriptor_, next, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return Failure(ErrorCode::CannotWrite, "cannot write '" + NameInMessage(name_) + "'",
                           SystemErrorText(written < 0 ? errno : 0));
        }
        next += written;
        left -= static_cast<std::size_t>(written);
    }
    return Status::Ok();
}

Status StagingFile::Finish() {
    int error = 0;
    // A file system that cannot sync says EINVAL; there is nothing more to wait for then.
    if (::fsync(descriptor_) != 0 && errno != EINVAL) {
        error = errno;
    }
    if (error == 0 && destination_.replaces) {
        // The owner and group only as far as this user may give them; the permissions
        // after them, as a change of owner clears the set-id bits.
        (void)!::fchown(descriptor_, destination_.owner, destination_.group);
        if (::fchmod(descriptor_, destination_.permissions) != 0) {
            error = errno;
        }
    }
    if (::close(descriptor_) != 0 && error == 0) {
        error = errno;
    }
    descriptor_ = -1;
    if (error != 0) {
        return Failure(ErrorCode::CannotWrite, "cannot write '" + NameInMessage(name_) + "'",
                       SystemErrorText(error));
    }
    return Status::Ok();
}

Status StagingFile::Replace() {
    if (std::rename(name_.c_str(), destination_.path.c_str()) != 0) {
        return Failure(ErrorCode::CannotReplace,
                       "cannot replace '" + NameInMessage(destination_.path) + "' with '" +
                           NameInMessage(name_) + "'",
                       SystemErrorText(errno));
    }
    registration_.reset();
    return Status::Ok();
}

void StagingFile::Close() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
}

#endif

Status WriteStagedFile(const std::string& path, std::span<const BytePiece> pieces) {
    Result<WriteDestination> destination = FindWriteDestination(path);
    if (!destination) {
        return destination.status();
    }
    // The rename that replaces a file takes only the folder's permission: it would go
    // behind the mark of a file the user made read-only, which writing in place respects.
    if (destination.value().readOnly) {
        return Error{ErrorCode::CannotReplace,
                     "cannot replace '" + NameInMessage(path) +
                         "': the file is read-only; make it writable or choose another name"};
    }
    // Dropped unfinished on any failure below, the staging file is removed.
    StagingFile staging;
    if (Status created = staging.Create(destination.value()); !created) {
        return created;
    }
    for (const BytePiece piece : pieces) {
        if (Status written = staging.Write(piece); !written) {
            return written;
        }
    }
    if (Status finished = staging.Finish(); !finished) {
        return finished;
    }
    return staging.Replace();
}

}  // namespace cmp
