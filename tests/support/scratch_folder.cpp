#include "tests/support/scratch_folder.h"

#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>

namespace cmp::test {

namespace {

std::string UniquePattern(const std::string& label) {
    static std::atomic<unsigned> made{0};
    const std::string name = "cmpexport-" + label + "-" + std::to_string(::getpid()) + "-" +
                             std::to_string(made.fetch_add(1)) + "-XXXXXX";
    return (std::filesystem::temp_directory_path() / name).string();
}

}  // namespace

ScratchFolder::ScratchFolder(Enter enter, const std::string& label) {
    std::string pattern = UniquePattern(label);
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(),
                                "cannot make a scratch folder " + pattern);
    }
    path_ = pattern;
    if (enter == Enter::Yes) {
        std::error_code error;
        std::filesystem::path previous = std::filesystem::current_path(error);
        if (!error) {
            std::filesystem::current_path(path_, error);
        }
        if (error) {
            std::filesystem::remove_all(path_, error);
            throw std::system_error(error, "cannot enter the scratch folder " + pattern);
        }
        previous_ = std::move(previous);
    }
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    if (!previous_.empty()) {
        std::filesystem::current_path(previous_, ignored);
    }
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace cmp::test
