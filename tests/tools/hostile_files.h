// Files built to make cmpinfo's report many times their size: each once drove it to
// build gigabytes of text in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "core/little_endian.h"
#include "tree/tree.h"
#include "utf/utf.h"

namespace cmp {

inline constexpr int LongNamedLevels = 16;
inline constexpr std::size_t LongNameBytes = 20000;
inline constexpr std::uint16_t BrokenMeshCount = 65535;

// A mesh data stream whose header counts 65,535 meshes of one vertex and one index each,
// every mesh wrong three ways (its start vertex, an index count that is no whole number
// of triangles, its end marker), and whose index arrays are missing: about 196,600
// problems in 786 KB.
inline Bytes BrokenMeshDataStream() {
    Bytes stream;
    AppendU32(stream, 1);
    AppendU32(stream, 4);
    AppendU16(stream, BrokenMeshCount);
    AppendU16(stream, 0);
    AppendU16(stream, 0x112);
    AppendU16(stream, 0);
    for (std::uint32_t mesh = 0; mesh < BrokenMeshCount; ++mesh) {
        AppendU32(stream, mesh);
        AppendU16(stream, 0xFFFF);  // the meshes before it never have 65,535 vertices
        AppendU16(stream, 0xFFFF);
        AppendU16(stream, 1);
        AppendU16(stream, 0);
    }
    return stream;
}

// 16 nested branches named with 20,000 bytes each over one "VMeshData" leaf holding
// BrokenMeshDataStream: 1.1 MB, and every problem's path 320 KB long when shown whole.
inline NodeTree LongNamedBrokenMeshTree() {
    NodeTree tree;
    NodeHandle node;
    for (int level = 0; level < LongNamedLevels; ++level) {
        node = tree.InsertNode(node, std::string(LongNameBytes, static_cast<char>('a' + level)));
    }
    tree.SetPayload(tree.InsertNode(node, "VMeshData"), BrokenMeshDataStream());
    return tree;
}

inline Bytes LongNamedBrokenMeshFile() {
    return UtfLayout(LongNamedBrokenMeshTree()).GetFileBytes();
}

}  // namespace cmp
