// Whole files in and out, for setting up what a test needs on disk and looking at what
// the code under test left there.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "core/little_endian.h"

namespace cmp {

// Everything in the file. A file that cannot be opened reads as empty, so that a check
// of its contents fails with what was there instead of stopping the test.
std::string ReadWholeFile(const std::filesystem::path& path);
Bytes ReadWholeFileBytes(const std::filesystem::path& path);

// Makes `contents` the whole file, replacing what was there. Throws std::runtime_error
// naming the file when it cannot be written: a test must not go on with a setup that
// is not on disk.
void WriteWholeFile(const std::filesystem::path& path, std::string_view contents);
void WriteWholeFile(const std::filesystem::path& path, const Bytes& contents);

}  // namespace cmp
