// What the portable files of this folder share with their per-system halves. A concept
// whose work differs by system keeps its portable part in <concept>.cpp and the rest in
// <concept>_posix.cpp and <concept>_win32.cpp, of which the build takes one: the systems
// differ in how a file is locked, replaced, listed and stopped for, not only in the name
// of a call, so each system's rules read whole in a file of their own.
#pragma once

#include <cstddef>
#include <string>

#include "core/error.h"
#include "core/text.h"
#include "files/files.h"

namespace cmp {

// -- Paths

// Whether the two paths name one file by name alone, for when one of them names nothing
// yet (see IsSameFile).
bool IsSameName(const std::string& outputPath, const std::string& streamPath);

// -- Staged writes

// How many random names a staging file tries before it gives up.
inline constexpr int StagingAttempts = 100;

// The characters that end a folder's name in a path ("/"; on Windows also '\' and ':').
const char* FolderSeparators();

// The longest path the system can name a new file by; where only a file name's length is
// bounded, the largest size_t.
std::size_t LongestPath();

// A new random staging name for `destination` (see StagingFile).
std::string StagingNameFor(const std::string& destination);

// The error of a step of a staged write: `what` failed because of `reason` (the system's
// text; empty for a write that stopped short).
Error StagingFailure(ErrorCode code, const std::string& what, const std::string& reason);

// -- Write destinations

inline Error Refusal(const std::string& path, const std::string& why) {
    return Error{ErrorCode::CannotReplace, "cannot replace '" + NameInMessage(path) + "': " + why};
}

// -- Appending lines

inline Error CannotAppend(const std::string& path, const std::string& why) {
    return Error{ErrorCode::CannotWrite, "cannot add to '" + NameInMessage(path) + "': " + why};
}

// -- Exclusive files

// How much of a file the leftover test sees.
inline constexpr std::size_t LeftoverHeadSize = 64;

}  // namespace cmp
