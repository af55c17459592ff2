#include "plugin/temporary_stream.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "mesh/mesh_data_stream.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace cmp {

namespace {

std::string DescribeFailure(const char* what, const std::string& path, int error) {
    return std::string("cannot ") + what + " the mesh data file \"" + path +
           "\": " + std::strerror(error);
}

Error ReadBackError(ErrorCode code, const std::string& path, const std::string& what) {
    return Error{code, "cannot read the mesh data back from '" + path + "': " + what};
}

// The stream into `file`, which is closed in any case: a full disk may show only in the
// close. On failure the message is the system's reason.
Status WriteAndClose(const MeshList& meshes, std::FILE* file) {
    const Status written = WriteMeshDataStream(meshes, file);
    errno = 0;
    const bool closed = std::fclose(file) == 0;
    if (written && !closed) {
        return Error{ErrorCode::CannotWrite, std::strerror(errno != 0 ? errno : EIO)};
    }
    return written;
}

// The file's whole content, or why not. A length beyond any stream is also what a
// folder or a device reports; nothing is allocated for it.
Result<Bytes> ReadWhole(std::FILE* file, const std::string& path) {
    long length = -1;
    if (std::fseek(file, 0, SEEK_END) != 0 || (length = std::ftell(file)) < 0 ||
        std::fseek(file, 0, SEEK_SET) != 0) {
        return ReadBackError(ErrorCode::CannotRead, path,
                             std::string("cannot find its length: ") + std::strerror(errno));
    }
    if (static_cast<unsigned long>(length) > MaxMeshDataStreamSize) {
        return ReadBackError(ErrorCode::CannotRead, path,
                             "it claims " + std::to_string(length) +
                                 " bytes, more than any mesh data stream can hold");
    }
    Bytes stream(static_cast<std::size_t>(length));
    const std::size_t got = stream.empty() ? 0 : std::fread(stream.data(), 1, stream.size(), file);
    if (got != stream.size()) {
        std::string problem =
            "it yielded " + std::to_string(got) + " of its " + std::to_string(length) + " bytes";
        if (std::ferror(file) && errno != 0) {
            problem += std::string(": ") + std::strerror(errno);
        }
        return ReadBackError(ErrorCode::CannotRead, path, problem);
    }
    return stream;
}

}  // namespace

Status TemporaryStream::Write(const MeshList& meshes) {
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (file == nullptr) {
        return Error{ErrorCode::CannotCreate, DescribeFailure("create", path_, errno)};
    }
    if (const Status written = WriteAndClose(meshes, file); !written) {
        Remove();
        return Error{ErrorCode::CannotWrite,
                     "cannot write the mesh data file \"" + path_ + "\": " + written.message()};
    }
    return Status::Ok();
}

Result<Bytes> TemporaryStream::ReadBack(std::size_t expectedSize) {
    std::FILE* file = std::fopen(path_.c_str(), "rb");
    if (file == nullptr) {
        return ReadBackError(ErrorCode::CannotRead, path_, std::strerror(errno));
    }
    Result<Bytes> stream = ReadWhole(file, path_);
    std::fclose(file);
    Remove();
    // The file in the current folder is not ours alone: a link to a device, or another
    // program, can hand back other bytes than were written. A stream of the wrong length
    // would make a file that the game cannot read.
    if (stream && stream.value().size() != expectedSize) {
        return ReadBackError(ErrorCode::StreamMismatch, path_,
                             "it yielded " + std::to_string(stream.value().size()) +
                                 " bytes where the meshes call for " +
                                 std::to_string(expectedSize));
    }
    return stream;
}

void TemporaryStream::Remove() {
    // unlink, never remove: a folder standing at the file's name belongs to the user.
#ifdef _WIN32
    _unlink(path_.c_str());
#else
    unlink(path_.c_str());
#endif
}

}  // namespace cmp
