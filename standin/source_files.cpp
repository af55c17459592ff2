#include "standin/source_files.h"

#include "files/paths.h"

namespace cmp {

std::optional<std::string> SourceReplacedBy(const std::string& output,
                                            const std::vector<std::string>& sources) {
    for (const std::string& source : sources) {
        if (IsSameFile(output, source)) {
            return source;
        }
    }
    return std::nullopt;
}

}  // namespace cmp
