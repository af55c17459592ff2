#include "files/files.h"

#include <windows.h>

#include "files/platform.h"

namespace cmp {

Status AppendToRegularFile(const std::string& path, std::string_view text) {
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return CannotAppend(path, SystemErrorText(GetLastError()));
    }
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    const bool regular = GetFileType(file) == FILE_TYPE_DISK;
    DWORD written = 0;
    const bool whole =
        regular &&
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size();
    const SystemError error = whole ? 0 : GetLastError();
    CloseHandle(file);
    if (whole) {
        return Status::Ok();
    }
    if (created) {
        DeleteFileA(path.c_str());
    }
    return CannotAppend(path, regular ? SystemErrorText(error) : "it is not a regular file");
}

}  // namespace cmp
