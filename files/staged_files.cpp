#include "files/files.h"

#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

namespace cmp {

namespace {

struct Slot {
    char path[MaxStagedPathLength + 1];
    volatile std::sig_atomic_t used;
};

// Written only outside signal handlers; a handler sees a slot in use only once its path
// is complete, because `used` is set last.
Slot slots[MaxStagedFiles];

}  // namespace

Result<std::unique_ptr<StagedFile>> StagedFile::Register(const std::string& path) {
    std::error_code error;
    const std::string absolute = std::filesystem::absolute(path, error).string();
    if (error) {
        return Error{ErrorCode::CannotCreate,
                     "the current folder cannot be found (" + error.message() +
                         "), so the file could not be removed should the run be stopped"};
    }
    if (absolute.size() > MaxStagedPathLength) {
        return Error{ErrorCode::CannotCreate,
                     "its full path is " + std::to_string(absolute.size()) +
                         " bytes long, and a file whose path is longer than " +
                         std::to_string(MaxStagedPathLength) +
                         " bytes could not be removed should the run be stopped; use a "
                         "folder with a shorter path"};
    }
    for (std::size_t i = 0; i < MaxStagedFiles; ++i) {
        if (!slots[i].used) {
            std::memcpy(slots[i].path, absolute.c_str(), absolute.size() + 1);
            slots[i].used = 1;
            return std::unique_ptr<StagedFile>(new StagedFile(i));
        }
    }
    return Error{ErrorCode::CannotCreate,
                 "more than " + std::to_string(MaxStagedFiles) +
                     " files are being written at once, and another could not be removed "
                     "should the run be stopped"};
}

StagedFile::~StagedFile() {
    slots[slot_].used = 0;
}

void RemoveStagedFiles() noexcept {
    for (Slot& slot : slots) {
        if (slot.used) {
            unlink(slot.path);
            slot.used = 0;
        }
    }
}

}  // namespace cmp
