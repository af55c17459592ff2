#include "files/staged_files.h"

#include <csignal>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace cmp {

namespace {

struct Slot {
    char path[MaxStagedPathLength + 1];
    volatile std::sig_atomic_t used;
};

// Written only outside signal handlers; a handler sees a slot in use only once its path
// is complete, because `used` is set last.
Slot slots[MaxStagedFiles];

void Unlink(const char* path) {
#ifdef _WIN32
    _unlink(path);
#else
    unlink(path);
#endif
}

}  // namespace

StagedFile::StagedFile(const std::string& path) {
    std::error_code error;
    const std::string absolute = std::filesystem::absolute(path, error).string();
    if (error || absolute.size() > MaxStagedPathLength) {
        return;
    }
    for (std::size_t i = 0; i < MaxStagedFiles; ++i) {
        if (!slots[i].used) {
            std::memcpy(slots[i].path, absolute.c_str(), absolute.size() + 1);
            slots[i].used = 1;
            slot_ = i;
            return;
        }
    }
}

StagedFile::~StagedFile() {
    if (slot_) {
        slots[*slot_].used = 0;
    }
}

void RemoveStagedFiles() noexcept {
    for (Slot& slot : slots) {
        if (slot.used) {
            Unlink(slot.path);
            slot.used = 0;
        }
    }
}

}  // namespace cmp
