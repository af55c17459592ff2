// Small model files that break Assimp 5.2's importer for real, written by the tests
// themselves: a crash, a hang and an exhausted memory.
#pragma once

#include <cstdint>
#include <string>

#include "core/little_endian.h"

namespace cmp {

// A binary PLY whose vertex data ends early: the reader runs off its buffer (SIGSEGV).
inline std::string TruncatedBinaryPly() {
    std::string file =
        "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\n"
        "property float y\nproperty float z\nelement face 1\n"
        "property list uchar int vertex_index\nend_header\n";
    Bytes data;
    for (float value : {0.0f, 0.0f, 0.0f, 1.0f}) {
        AppendF32(data, value);
    }
    return file + std::string(data.begin(), data.end());
}

// An ASCII PLY header that stops after its format line: the reader never finishes.
inline std::string EndlessAsciiPly() {
    return "ply\nformat ascii 1.0\n";
}

// An ASCII PLY that announces 400 million vertices, for which the reader reserves room
// up front: gigabytes before the first number is read.
inline std::string VastAsciiPly() {
    return "ply\nformat ascii 1.0\nelement vertex 400000000\nproperty float x\n"
           "property float y\nproperty float z\nend_header\n0 0 0\n";
}

// A 3MF package (a zip archive) whose relationships name a model part it does not hold:
// the reader asserts that the part is there and aborts (SIGABRT). One stored entry.
inline std::string PackageWithoutItsModel() {
    const std::string name = "_rels/.rels";
    const std::string content =
        "<Relationships><Relationship Target=\"/3D/3dmodel.model\" Id=\"rel0\" "
        "Type=\"http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel\"/></Relationships>";
    std::uint32_t crc = 0xFFFFFFFF;
    for (const char c : content) {
        crc ^= static_cast<std::uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    crc = ~crc;
    const auto size = static_cast<std::uint32_t>(content.size());
    const auto nameSize = static_cast<std::uint16_t>(name.size());
    Bytes zip;
    AppendU32(zip, 0x04034B50);  // local file header
    AppendU16(zip, 20);
    AppendU16(zip, 0);  // flags
    AppendU16(zip, 0);  // stored
    AppendU32(zip, 0);  // time, date
    AppendU32(zip, crc);
    AppendU32(zip, size);
    AppendU32(zip, size);
    AppendU16(zip, nameSize);
    AppendU16(zip, 0);
    zip.insert(zip.end(), name.begin(), name.end());
    zip.insert(zip.end(), content.begin(), content.end());
    const auto directoryAt = static_cast<std::uint32_t>(zip.size());
    AppendU32(zip, 0x02014B50);  // central directory entry
    AppendU16(zip, 20);
    AppendU16(zip, 20);
    AppendU16(zip, 0);
    AppendU16(zip, 0);
    AppendU32(zip, 0);
    AppendU32(zip, crc);
    AppendU32(zip, size);
    AppendU32(zip, size);
    AppendU16(zip, nameSize);
    AppendU16(zip, 0);  // extra
    AppendU16(zip, 0);  // comment
    AppendU16(zip, 0);  // disk
    AppendU16(zip, 0);  // internal attributes
    AppendU32(zip, 0);  // external attributes
    AppendU32(zip, 0);  // offset of the local header
    zip.insert(zip.end(), name.begin(), name.end());
    const auto directorySize = static_cast<std::uint32_t>(zip.size()) - directoryAt;
    AppendU32(zip, 0x06054B50);  // end of central directory
    AppendU16(zip, 0);
    AppendU16(zip, 0);
    AppendU16(zip, 1);
    AppendU16(zip, 1);
    AppendU32(zip, directorySize);
    AppendU32(zip, directoryAt);
    AppendU16(zip, 0);
    return std::string(zip.begin(), zip.end());
}

}  // namespace cmp
