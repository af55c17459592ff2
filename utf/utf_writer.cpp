#include "utf/utf_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "utf/utf_layout.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace cmp {

namespace {

std::string SystemReason(int error) {
    return std::strerror(error);
}

bool WriteAll(std::FILE* file, const Bytes& bytes) {
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

// The name the bytes are staged under: "<target>.tmp", unless a regular file already has
// that name; it may be the user's own, so the next free "<target>.tmp<n>" is taken
// instead. Anything else standing there (a folder, a device link) is met as it is, and
// its failure reported.
std::string StagingName(const std::string& target) {
    const auto isRegularFile = [](const std::string& name) {
        std::error_code ignored;
        return std::filesystem::symlink_status(name, ignored).type() ==
               std::filesystem::file_type::regular;
    };
    std::string name = target + ".tmp";
    for (int n = 1; isRegularFile(name) && n < 1000; ++n) {
        name = target + ".tmp" + std::to_string(n);
    }
    return name;
}

// Moves the finished temporary file over the target. On Windows, rename refuses an
// existing target, so the replacing move is asked for explicitly. On failure the
// message is the system's reason.
Status ReplaceFile(const std::string& from, const char* to) {
#ifdef _WIN32
    if (!MoveFileExA(from.c_str(), to, MOVEFILE_REPLACE_EXISTING)) {
        return Error{ErrorCode::CannotReplace, "system error " + std::to_string(GetLastError())};
    }
#else
    if (std::rename(from.c_str(), to) != 0) {
        return Error{ErrorCode::CannotReplace, SystemReason(errno)};
    }
#endif
    return Status::Ok();
}

}  // namespace

Status WriteUtfFile(const NodeTree& tree, const char* path) {
    if (!path || !*path) {
        return Error{ErrorCode::NoPath, "cannot write a tree file: no path given"};
    }
    const std::string target = path;
    if (!tree.GetRoot()) {
        return Error{ErrorCode::EmptyTree, "cannot write '" + target + "': the tree has no nodes"};
    }
    // Plan the whole file before touching the disk.
    const UtfLayout layout(tree);
    if (!layout.FitsFormat()) {
        return Error{ErrorCode::TreeTooLarge,
                     "cannot write '" + target +
                         "': the tree does not fit the 4 GiB that 32-bit offsets can address"};
    }

    const std::string temporary = StagingName(target);
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        return Error{ErrorCode::CannotCreate,
                     "cannot create '" + temporary + "': " + SystemReason(errno)};
    }
    errno = 0;
    const bool written = WriteAll(file, layout.GetHeader()) &&
                         WriteAll(file, layout.GetNodeBlock()) &&
                         WriteAll(file, layout.GetStringBlock()) &&
                         WriteAll(file, layout.GetDataBlock()) && std::fflush(file) == 0;
    const int writeError = errno;
    const bool closed = std::fclose(file) == 0;
    const int closeError = errno;
    if (!written || !closed) {
        std::remove(temporary.c_str());
        const int error = !written ? writeError : closeError;
        return Error{ErrorCode::CannotWrite,
                     "cannot write '" + temporary +
                         "': " + (error != 0 ? SystemReason(error) : std::string("short write"))};
    }
    if (const Status replaced = ReplaceFile(temporary, path); !replaced) {
        std::remove(temporary.c_str());
        return Error{ErrorCode::CannotReplace, "cannot replace '" + target + "' with '" +
                                                   temporary + "': " + replaced.message()};
    }
    return Status::Ok();
}

}  // namespace cmp
