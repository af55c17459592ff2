// Where modelhost finds the plug-in when no --plugin names one.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace cmp {

// The files modelhost tries, in order, given the folder it runs from: libcmpexport.so
// beside it (a build tree), then in the private library folder of an installed copy
// (release/install_layout.h).
std::vector<std::filesystem::path> DefaultPlugInCandidates(
    const std::filesystem::path& programFolder);

// The first candidate that exists; the first of all when none does, so that the message
// names the place looked in first.
std::string FindDefaultPlugIn(const std::filesystem::path& programFolder);

}  // namespace cmp
