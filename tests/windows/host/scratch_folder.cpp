#include "tests/windows/host/scratch_folder.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace cmp {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder(const std::string& name) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    path_ = fs::path(temp) / ("winhost-" + std::to_string(GetCurrentProcessId()) + "-" + name);
    std::error_code ignored;
    fs::remove_all(path_, ignored);
    fs::create_directories(path_);
    previous_ = fs::current_path();
    fs::current_path(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::current_path(previous_, ignored);
    fs::remove_all(path_, ignored);
}

std::vector<std::string> ScratchFolder::Contents() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

}  // namespace cmp
