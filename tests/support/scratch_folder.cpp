#include "tests/support/scratch_folder.h"

#include <algorithm>
#include <atomic>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace cmp {

namespace {

unsigned long ProcessId() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(::getpid());
#endif
}

// A new, empty folder that this call created: create_directory reports whether it made
// the folder, so one that stood there already (another run's) is never taken over.
std::filesystem::path MakeUniqueFolder(const std::string& label) {
    static std::atomic<unsigned> made{0};
    const std::string stem = "cmpexport-" + label + "-" + std::to_string(ProcessId()) + "-" +
                             std::to_string(made.fetch_add(1)) + "-";
    std::random_device random;
    std::error_code error;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path folder =
            std::filesystem::temp_directory_path(error) / (stem + std::to_string(random()));
        if (!error && std::filesystem::create_directory(folder, error)) {
            return folder;
        }
    }
    throw std::system_error(error, "cannot make a scratch folder " + stem + "...");
}

}  // namespace

ScratchFolder::ScratchFolder(Enter enter, const std::string& label) {
    path_ = MakeUniqueFolder(label);
    if (enter == Enter::Yes) {
        std::error_code error;
        std::filesystem::path previous = std::filesystem::current_path(error);
        if (!error) {
            std::filesystem::current_path(path_, error);
        }
        if (error) {
            std::filesystem::remove_all(path_, error);
            throw std::system_error(error, "cannot enter the scratch folder " + path_.string());
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

std::vector<std::string> ScratchFolder::Contents() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace cmp
