// A fresh, empty working folder for one case, made the current folder while it lives.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace cmp {

class ScratchFolder {
  public:
    // "<temp>\winhost-<process id>-<name>"; the previous current folder comes back at the
    // end, and the folder goes with everything in it.
    explicit ScratchFolder(const std::string& name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& GetPath() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    // Everything in the folder, by name.
    std::vector<std::string> Contents() const;

  private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};

}  // namespace cmp
