#include "tools/cmpinfo/output_file.h"

#include <filesystem>
#include <system_error>

#include "utf/staging_file.h"

namespace cmp {

bool IsSameFile(const std::string& out, const std::string& source) {
    std::error_code failure;
    return std::filesystem::equivalent(out, source, failure) && !failure;
}

Status WriteOutputFile(const std::string& path, const Bytes& bytes) {
    const BytePiece whole = bytes;
    return WriteOutputFile(path, {&whole, 1});
}

Status WriteOutputFile(const std::string& path, std::span<const BytePiece> pieces) {
    return WriteStagedFile(path, pieces);
}

}  // namespace cmp
