#include "tools/cmpinfo/report/report.h"

#include <filesystem>
#include <system_error>

#include "files/files.h"

namespace cmp {

namespace {

namespace fs = std::filesystem;

// The staging file is created in the path's folder; were that folder missing, its failure
// would name the staging file's random name, which the user never gave.
Status CheckFolderOf(const std::string& path) {
    const fs::path folder = fs::path(path).parent_path();
    if (folder.empty()) {
        return Status::Ok();  // the working folder
    }
    std::error_code failure;
    const fs::file_status found = fs::status(folder, failure);
    if (found.type() == fs::file_type::not_found) {
        return Error{ErrorCode::CannotCreate,
                     "the folder '" + folder.string() + "' does not exist"};
    }
    if (!failure && !fs::is_directory(found)) {
        return Error{ErrorCode::CannotCreate, "'" + folder.string() + "' is not a folder"};
    }
    return Status::Ok();
}

}  // namespace

Status WriteRequestedFile(const std::string& path, const Bytes& bytes) {
    const BytePiece whole = bytes;
    return WriteRequestedFile(path, {&whole, 1});
}

Status WriteRequestedFile(const std::string& path, std::span<const BytePiece> pieces) {
    if (Status folder = CheckFolderOf(path); !folder) {
        return folder;
    }
    return WriteStagedFile(path, pieces);
}

}  // namespace cmp
