// The file a tree file is written to before it takes its destination's place.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "core/error.h"
#include "core/little_endian.h"
#include "files/staged_files.h"
#include "files/write_destination.h"

namespace cmp {

// A new file in the destination's folder, named after the destination followed by a dot,
// six random letters or digits and ".tmp" ("ship.cmp.x7Qk2P.tmp"; the destination's name
// is cut short where the whole would pass the 255 characters a file name may have, or on
// Windows the 259 of a path). It is created only where nothing stood, never through a
// link, with another random name when one is taken, so nothing beside the destination is
// ever opened or replaced. While it exists it is in the process's list of staged files,
// which a stop signal's handler removes; dropping it unfinished removes it.
class StagingFile {
  public:
    StagingFile() = default;
    ~StagingFile();
    StagingFile(const StagingFile&) = delete;
    StagingFile& operator=(const StagingFile&) = delete;

    // Creates the file for `destination`, private to its owner when it is to replace a
    // file (it gets that file's permissions when finished). CannotCreate on failure.
    Status Create(const WriteDestination& destination);
    // Appends `bytes`. CannotWrite on failure.
    Status Write(std::span<const std::uint8_t> bytes);
    // Makes the bytes durable, gives the file the replaced file's permissions (and, as far
    // as the system allows, its owner and group), and closes it. CannotWrite on failure.
    Status Finish();
    // Renames the finished file over the destination, in one step. CannotReplace on
    // failure.
    Status Replace();

    const std::string& GetName() const { return name_; }

  private:
    // Lists the file just made at name_ (staged_files.h); one that cannot be listed is
    // removed again, CannotCreate saying why.
    Status Register();
    void Close();

    WriteDestination destination_;
    std::string name_;
    std::unique_ptr<StagedFile> registration_;  // while the file exists under name_
#ifdef _WIN32
    void* handle_ = nullptr;  // a HANDLE
#else
    int descriptor_ = -1;
#endif
};

// `pieces`, one write each in order, as the new content of `path`: its destination found
// as FindWriteDestination finds it, the bytes staged, made durable and renamed over the
// destination. A read-only file is not replaced (CannotReplace saying so): every writer of
// the product writes through here. A failure leaves what stood at the path as it was,
// removes the staging file and gives the step's error.
[[nodiscard]] Status WriteStagedFile(const std::string& path, std::span<const BytePiece> pieces);

}  // namespace cmp
