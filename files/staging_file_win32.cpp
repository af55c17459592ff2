#include "files/files.h"

#include <windows.h>

#include <algorithm>

#include "core/text.h"
#include "files/platform.h"

namespace cmp {

const char* FolderSeparators() {
    return "/\\:";
}

std::size_t LongestPath() {
    return MAX_PATH - 1;
}

std::optional<StagingFile::OpenFailure> StagingFile::OpenNew() {
    HANDLE handle = CreateFileA(name_.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        handle_ = handle;
        return std::nullopt;
    }
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS) {
        error = ERROR_FILE_EXISTS;
    }
    return OpenFailure{error == ERROR_FILE_EXISTS, SystemErrorText(error)};
}

Status StagingFile::Write(std::span<const std::uint8_t> bytes) {
    const unsigned char* next = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(static_cast<HANDLE>(handle_), next, chunk, &written, nullptr)) {
            return StagingFailure(ErrorCode::CannotWrite,
                                  "cannot write '" + NameInMessage(name_) + "'",
                                  SystemErrorText(GetLastError()));
        }
        if (written == 0) {
            return StagingFailure(ErrorCode::CannotWrite,
                                  "cannot write '" + NameInMessage(name_) + "'", "");
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
        return StagingFailure(ErrorCode::CannotWrite, "cannot write '" + NameInMessage(name_) + "'",
                              SystemErrorText(!flushed ? flushError : closeError));
    }
    return Status::Ok();
}

Status StagingFile::Replace() {
    // rename refuses an existing target here, so the replacing move is asked for.
    if (!MoveFileExA(name_.c_str(), destination_.path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return StagingFailure(ErrorCode::CannotReplace,
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

}  // namespace cmp
