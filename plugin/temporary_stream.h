// The mesh data stream's stay on disk between the two stages of an export.
//
// The run writes the stream to "___temp.vms" in the current folder before the result
// dialog opens, and the dialog's start-up reads it back into the tree. The data takes
// that road, rather than staying in memory, because it is the exporter's established
// behaviour that hosts and users see (the file appears and vanishes in the current
// folder during an export), and because the read-back doubles as a check: the tree
// gets exactly the bytes that reached the disk, and a file that gives back anything
// else fails the export instead of making a file the game cannot read.
//
// This class is the file's one owner: it creates, writes, reads back and removes it.
#pragma once

#include <cstddef>
#include <string>

#include "core/error.h"
#include "core/little_endian.h"
#include "mesh/export_mesh.h"

namespace cmp {

inline constexpr const char* TempStreamFileName = "___temp.vms";

class TemporaryStream {
  public:
    // Nothing touches the disk until Write. `path` is the file's name; the run uses the
    // fixed name in the current folder, tests may give another.
    explicit TemporaryStream(std::string path = TempStreamFileName) : path_(std::move(path)) {}
    TemporaryStream(const TemporaryStream&) = delete;
    TemporaryStream& operator=(const TemporaryStream&) = delete;
    // Removes the file when it is still there: it never outlives the run.
    ~TemporaryStream() { Remove(); }

    const std::string& GetPath() const { return path_; }

    // Writes BuildMeshDataStream(meshes) to the file. Fails with CannotCreate when the
    // file cannot be created or opened (nothing is left behind), and with CannotWrite,
    // naming the file and the system's reason, when a write, flush or close fails (a
    // full disk); the partial file is removed then.
    [[nodiscard]] Status Write(const MeshList& meshes);

    // Reads the whole file back and removes it. Fails, naming the file and the reason,
    // with CannotRead when it cannot be opened, sized or read whole or claims more bytes
    // than any mesh data stream can hold (never allocating for such a claim), and with
    // StreamMismatch when it yields another length than `expectedSize`. The file is
    // removed in every case.
    [[nodiscard]] Result<Bytes> ReadBack(std::size_t expectedSize);

    // Removes the file (never a folder standing at its name); nothing when it is gone.
    void Remove();

  private:
    std::string path_;
};

}  // namespace cmp
