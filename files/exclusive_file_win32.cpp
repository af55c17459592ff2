#include "files/files.h"

#include <windows.h>

#include <string>
#include <utility>

#include "files/platform.h"

namespace cmp {

namespace {

HANDLE AsHandle(void* handle) {
    return static_cast<HANDLE>(handle);
}

// Deletes the open file itself, whatever its name has become: the name cannot change
// while a handle without FILE_SHARE_DELETE is open.
bool DeleteOpenFile(HANDLE file) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

bool ReadAt(HANDLE file, std::uint64_t offset, void* into, DWORD length, DWORD& got) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return ReadFile(file, into, length, &got, &at) != 0 || GetLastError() == ERROR_HANDLE_EOF;
}

// A regular file, open by this process alone for reading and deleting: a killed run's
// leftover goes.
OccupantReport JudgeOpenFile(HANDLE file, const LeftoverTest& judge) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileInformationByHandle(file, &information) == 0) {
        return {Occupant::UsersFile, {}};
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return {Occupant::Folder, {}};
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return {Occupant::Link, {}};
    }
    const std::uint64_t length =
        (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    if (length == 0) {
        return {Occupant::Empty, {}};
    }
    Bytes head(LeftoverHeadSize);
    DWORD got = 0;
    if (!ReadAt(file, 0, head.data(), static_cast<DWORD>(head.size()), got)) {
        return {Occupant::UsersFile, {}};
    }
    head.resize(got);
    switch (judge(head, length)) {
        case Leftover::Whole:
            if (!DeleteOpenFile(file)) {
                return {Occupant::Stuck, SystemErrorText(GetLastError())};
            }
            return {Occupant::Gone, {}};
        case Leftover::Unfinished:
            return {Occupant::Unfinished, {}};
        case Leftover::None:
            break;
    }
    return {Occupant::UsersFile, {}};
}

}  // namespace

OccupantReport ExamineOccupant(const std::string& path, const LeftoverTest& judge) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND
                   ? OccupantReport{Occupant::Gone, {}}
                   : OccupantReport{Occupant::Unknown, SystemErrorText(error)};
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return {Occupant::Folder, {}};
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return {Occupant::Link, {}};
    }
    // Sharing nothing but reading: a run that holds the file (for writing, without
    // sharing it) makes this fail, and while this handle is open no run can take it.
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            return {Occupant::Gone, {}};
        }
        return {error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION
                    ? Occupant::Busy
                    : Occupant::UsersFile,
                {}};
    }
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return {Occupant::Special, {}};
    }
    const OccupantReport report = JudgeOpenFile(file, judge);
    CloseHandle(file);
    return report;
}

ExclusiveFile::~ExclusiveFile() {
    if (handle_ != nullptr) {
        CloseHandle(AsHandle(handle_));
    }
}

Status ExclusiveFile::Create(const std::string& path) {
    // A console event between the file's creation and its registration would leave it
    // behind.
    const StopSignalsHeld held;
    // CREATE_NEW opens nothing that is there; sharing only reading keeps every other
    // program from writing, renaming or deleting the file while the run holds it.
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        return Error{taken ? ErrorCode::NameTaken : ErrorCode::CannotCreate,
                     SystemErrorText(error)};
    }
    Result<std::unique_ptr<StagedFile>> listed = StagedFile::Register(path);
    if (!listed) {
        DeleteOpenFile(file);
        CloseHandle(file);
        return listed.status();
    }
    handle_ = file;
    written_ = 0;
    staged_ = std::move(listed.value());
    return Status::Ok();
}

bool ExclusiveFile::IsOpen() const {
    return handle_ != nullptr;
}

Status ExclusiveFile::Append(std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        OVERLAPPED at{};
        const std::uint64_t offset = written_ + done;
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(bytes.size() - done);
        if (WriteFile(AsHandle(handle_), bytes.data() + done, chunk, &wrote, &at) == 0) {
            return Error{ErrorCode::CannotWrite, SystemErrorText(GetLastError())};
        }
        if (wrote == 0) {
            return Error{ErrorCode::CannotWrite, SystemErrorText(ERROR_DISK_FULL)};
        }
        done += wrote;
    }
    written_ += done;
    return Status::Ok();
}

Result<std::int64_t> ExclusiveFile::GetLength() {
    LARGE_INTEGER length{};
    if (GetFileSizeEx(AsHandle(handle_), &length) == 0) {
        return Error{ErrorCode::CannotRead, SystemErrorText(GetLastError())};
    }
    return static_cast<std::int64_t>(length.QuadPart);
}

Result<Bytes> ExclusiveFile::ReadFromStart(std::size_t length) {
    Bytes bytes(length);
    std::size_t done = 0;
    while (done < length) {
        DWORD got = 0;
        if (!ReadAt(AsHandle(handle_), done, bytes.data() + done, static_cast<DWORD>(length - done),
                    got)) {
            return Error{ErrorCode::CannotRead, SystemErrorText(GetLastError())};
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

Status ExclusiveFile::CheckStillAt(const std::string&) {
    // Nobody can rename or delete a file opened without FILE_SHARE_DELETE.
    return Status::Ok();
}

void ExclusiveFile::Remove(const std::string& path) {
    if (handle_ == nullptr) {
        return;
    }
    // Gone and forgotten in one step, as far as a console event can tell.
    const StopSignalsHeld held;
    if (!DeleteOpenFile(AsHandle(handle_))) {
        // A system without deletion by handle: by name, which still names this file.
        CloseHandle(AsHandle(handle_));
        handle_ = nullptr;
        DeleteFileA(path.c_str());
        staged_.reset();
        return;
    }
    CloseHandle(AsHandle(handle_));
    handle_ = nullptr;
    staged_.reset();
}

}  // namespace cmp
