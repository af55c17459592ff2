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

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "core/error.h"
#include "core/little_endian.h"
#include "files/exclusive_file.h"
#include "mesh/mesh.h"

namespace cmp {

inline constexpr const char* TempStreamFileName = "___temp.vms";

// How long a run waits for another export in the same folder to finish with the file.
inline constexpr std::chrono::milliseconds StreamWaitForOtherRun{5000};

class TemporaryStream {
  public:
    // Nothing touches the disk until Write. `path` is the file's name; the run uses the
    // fixed name in the current folder, tests may give another. `waitForOtherRun` is how
    // long Write waits while another export holds the file.
    explicit TemporaryStream(std::string path = TempStreamFileName,
                             std::chrono::milliseconds waitForOtherRun = StreamWaitForOtherRun)
        : path_(std::move(path)), waitForOtherRun_(waitForOtherRun) {}
    TemporaryStream(const TemporaryStream&) = delete;
    TemporaryStream& operator=(const TemporaryStream&) = delete;
    // Removes the file when it is still there: it never outlives the run.
    ~TemporaryStream() { Remove(); }

    const std::string& GetPath() const { return path_; }

    // Creates the file (only where nothing stands: no link is followed, no FIFO or
    // device opened, no file of anyone else's touched), locks it against other runs for
    // as long as it lives, and writes BuildMeshDataStream(meshes) to it.
    //
    // What stands at the name: another export's file is waited for (up to
    // `waitForOtherRun`); the leftover of a killed export (a whole mesh data stream that
    // nobody holds) is replaced; anything else is left alone. Never waits longer than
    // that. Fails with CannotCreate when the file cannot be had (a leftover that cannot be
    // removed, too), the message being the file's full path and why; and
    // with CannotWrite, naming the file and the system's reason, when a write fails (a
    // full disk), the partial file then removed.
    [[nodiscard]] Status Write(const MeshList& meshes);

    // Reads the very file Write wrote back, through the descriptor it still holds, and
    // removes it. Fails, naming the file and the reason, with CannotRead when it was
    // never written, its name now names another file or none, or it cannot be sized or
    // read whole or claims more bytes than any mesh data stream can hold (never
    // allocating for such a claim), and with StreamMismatch when it yields another length
    // than `expectedSize`. The file is removed in every case.
    [[nodiscard]] Result<Bytes> ReadBack(std::size_t expectedSize);

    // Removes the file while its name still names it; nothing when it is gone. What
    // stands at the name otherwise (a folder, a file of the user's) is never touched.
    void Remove();

  private:
    std::string path_;
    std::chrono::milliseconds waitForOtherRun_;
    ExclusiveFile file_;
};

}  // namespace cmp
