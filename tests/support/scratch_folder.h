// A folder of one test's own below the system's temporary folder, removed with all it
// holds when the test is done. Its name carries the process id and a count of the
// process's scratch folders, and a random part makes the rest unique (the folder is
// created only where nothing stood), so tests that run side by side (ctest -j, a test
// in a loop, two folders in one test) never share a folder.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace cmp {

class ScratchFolder {
  public:
    // Whether the folder is the working folder while it lives: the export run puts its
    // temporary stream file in the working folder, so every test that runs one enters
    // a folder of its own.
    enum class Enter { No, Yes };

    // `label` goes into the folder's name, to tell whose folder was left behind by a
    // program that did not end normally. Throws std::system_error when no folder can be
    // made or entered.
    explicit ScratchFolder(Enter enter = Enter::Yes, const std::string& label = "test");
    // Leaves the folder for the working folder it replaced, then removes it.
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& GetPath() const { return path_; }
    // The path of `name` in the folder, as the plug-in's interfaces take paths.
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    // The names of everything in the folder, sorted.
    std::vector<std::string> Contents() const;

  private:
    std::filesystem::path path_;
    std::filesystem::path previous_;  // the working folder to go back to; empty if not entered
};

}  // namespace cmp
