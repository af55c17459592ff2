// Where modelhost finds the plug-in when no --plugin names one.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/error.h"

namespace cmp {

// The plug-in library's file name: libcmpexport.so, or cmpexport.dll on Windows.
const char* PlugInFileName();

// The files modelhost tries, in order, given the folder it runs from: the plug-in library
// beside it (a build tree), then in the private library folder of an installed copy
// (release/install_layout.h).
std::vector<std::filesystem::path> DefaultPlugInCandidates(
    const std::filesystem::path& programFolder);

// The first candidate that exists. When none does, an error (PlugInNotLoaded) whose
// message names every place looked in, so that a user of an installed copy learns
// where its plug-in belongs.
Result<std::string> FindDefaultPlugIn(const std::filesystem::path& programFolder);

}  // namespace cmp
