#include "tools/cmpinfo/output_file.h"

#include <filesystem>
#include <system_error>

#include "utf/staging_file.h"
#include "utf/write_destination.h"

namespace cmp {

bool IsSameFile(const std::string& out, const std::string& source) {
    std::error_code failure;
    return std::filesystem::equivalent(out, source, failure) && !failure;
}

Status WriteOutputFile(const std::string& path, const Bytes& bytes) {
    Result<WriteDestination> destination = FindWriteDestination(path);
    if (!destination) {
        return destination.status();
    }
    // Dropped unfinished on any failure below, the staged file is removed.
    StagingFile staging;
    if (Status created = staging.Create(destination.value()); !created) {
        return created;
    }
    if (Status written = staging.Write(bytes); !written) {
        return written;
    }
    if (Status finished = staging.Finish(); !finished) {
        return finished;
    }
    return staging.Replace();
}

}  // namespace cmp
