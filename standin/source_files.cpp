#include "standin/source_files.h"

#include <sys/stat.h>

namespace cmp {

std::optional<std::string> SourceReplacedBy(const std::string& output,
                                            const std::vector<std::string>& sources) {
    // stat follows links and sees through every spelling; the device and inode name the
    // file itself, whichever of its hard links the path goes through.
    struct stat target {};
    if (stat(output.c_str(), &target) != 0) {
        return std::nullopt;
    }
    for (const std::string& source : sources) {
        struct stat read {};
        if (stat(source.c_str(), &read) == 0 && read.st_dev == target.st_dev &&
            read.st_ino == target.st_ino) {
            return source;
        }
    }
    return std::nullopt;
}

}  // namespace cmp
