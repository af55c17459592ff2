#include "files/files.h"

#include <filesystem>
#include <system_error>

#include "files/platform.h"

namespace cmp {

namespace fs = std::filesystem;

bool IsSameFile(const std::string& output, const std::string& other) {
    std::error_code error;
    if (fs::equivalent(output, other, error) && !error) {
        return true;
    }
    return IsSameName(output, other);
}

std::optional<std::size_t> FindSameFile(const std::string& output,
                                        const std::vector<std::string>& others) {
    for (std::size_t i = 0; i < others.size(); ++i) {
        if (IsSameFile(output, others[i])) {
            return i;
        }
    }
    return std::nullopt;
}

}  // namespace cmp
