// Small model files that break Assimp 5.2's importer for real, written by the tests
// themselves: a crash, a hang and an exhausted memory.
#pragma once

#include <string>

#include "core/little_endian.h"

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
