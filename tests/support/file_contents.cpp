#include "tests/support/file_contents.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace cmp {

std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

Bytes ReadWholeFileBytes(const std::filesystem::path& path) {
    const std::string contents = ReadWholeFile(path);
    return Bytes(contents.begin(), contents.end());
}

void WriteWholeFile(const std::filesystem::path& path, std::string_view contents) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    file.close();
    if (!file) {
        throw std::runtime_error("cannot write the test file " + path.string());
    }
}

void WriteWholeFile(const std::filesystem::path& path, const Bytes& contents) {
    WriteWholeFile(
        path, std::string_view(reinterpret_cast<const char*>(contents.data()), contents.size()));
}

}  // namespace cmp
