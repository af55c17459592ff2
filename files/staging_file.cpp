#include "files/files.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string_view>

#include "core/text.h"
#include "files/platform.h"

namespace cmp {

namespace {

constexpr std::size_t RandomLength = 6;
constexpr std::string_view Suffix = ".tmp";
constexpr std::size_t LongestFileName = 255;

std::uint64_t Seed() {
    std::uint64_t seed = static_cast<std::uint64_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
    seed ^= static_cast<std::uint64_t>(::getpid()) << 32;
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

}  // namespace

// "<folder>/<name>.<random>.tmp" for the destination "<folder>/<name>", with <name> cut
// short where the whole name or path would be too long.
std::string StagingNameFor(const std::string& destination) {
    const std::size_t separator = destination.find_last_of(FolderSeparators());
    const std::size_t folderLength = separator == std::string::npos ? 0 : separator + 1;
    std::size_t room = LongestFileName;
    room = std::min(room, LongestPath() > folderLength ? LongestPath() - folderLength : 0);
    const std::size_t tail = 1 + RandomLength + Suffix.size();
    return destination.substr(0, folderLength) +
           StartOf(destination.substr(folderLength), room > tail ? room - tail : 0) + "." +
           RandomPart() + std::string(Suffix);
}

Error StagingFailure(ErrorCode code, const std::string& what, const std::string& reason) {
    return Error{code, what + ": " + (reason.empty() ? std::string("short write") : reason)};
}

Status StagingFile::Create(const WriteDestination& destination) {
    destination_ = destination;
    // A stop that came between the file's creation and its registration would leave the
    // file behind.
    const StopSignalsHeld held;
    std::optional<OpenFailure> failure;
    for (int attempt = 0; attempt < StagingAttempts; ++attempt) {
        name_ = StagingNameFor(destination.path);
        failure = OpenNew();
        if (!failure) {
            return Register();
        }
        if (!failure->nameTaken) {
            break;
        }
    }
    return StagingFailure(ErrorCode::CannotCreate, "cannot create '" + NameInMessage(name_) + "'",
                          failure->reason);
}

Status StagingFile::Register() {
    Result<std::unique_ptr<StagedFile>> listed = StagedFile::Register(name_);
    if (!listed) {
        Close();
        ::unlink(name_.c_str());
        return StagingFailure(ErrorCode::CannotCreate,
                              "cannot create '" + NameInMessage(name_) + "'", listed.message());
    }
    registration_ = std::move(listed.value());
    return Status::Ok();
}

StagingFile::~StagingFile() {
    Close();
    if (registration_) {
        // Gone and forgotten in one step, as far as a stop can tell.
        const StopSignalsHeld held;
        ::unlink(name_.c_str());
        registration_.reset();
    }
}

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
