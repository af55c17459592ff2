// Decoders of the leaves cmpinfo knows. Each takes a leaf's bytes as hostile input,
// reads only inside them, and gives the same content twice: as lines for people and as
// one JSON value, plus every problem it found.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/little_endian.h"

namespace cmp {

struct LeafDecoding {
    std::vector<std::string> lines;     // for people, without indentation
    std::string json;                   // one JSON object
    std::vector<std::string> problems;  // empty when the leaf is sound
};

// "VMeshData": the stream header, every mesh header, the length the counts call for, and
// every index against its own mesh's vertex count.
LeafDecoding DecodeMeshDataStream(const Bytes& bytes);

// The numbers of a mesh data stream that other leaves refer to; `valid` is false when
// the stream is too short for its header.
struct MeshDataSummary {
    bool valid = false;
    std::uint16_t meshCount = 0;
};
MeshDataSummary SummarizeMeshDataStream(const Bytes& bytes);

// "VMeshRef": the 60-byte mesh reference record.
struct MeshReference {
    std::uint32_t recordSize = 0;
    std::uint32_t libraryId = 0;
    std::uint16_t firstMesh = 0;
    std::uint16_t meshCount = 0;
};
inline constexpr std::size_t MeshReferenceSize = 60;
LeafDecoding DecodeMeshReferenceLeaf(const Bytes& bytes);

// "File name", "Object name": text ending in one 0 byte.
LeafDecoding DecodeText(const Bytes& bytes);

// `rows` rows of `perRow` reals ("Position", "Axis": 1 x 3; "Orientation": 3 x 3).
LeafDecoding DecodeReals(const Bytes& bytes, std::size_t rows, std::size_t perRow);

// "Max", "Min": one real, optionally followed by four bytes of padding.
LeafDecoding DecodeLimit(const Bytes& bytes);

// Any other leaf: its size and the first 16 bytes in hex.
LeafDecoding DecodeUnknown(const Bytes& bytes);

// Text for people: printable ASCII as it is, any other byte as \xNN.
std::string Printable(std::string_view text);

// The decoder for a leaf of this name.
LeafDecoding DecodeLeaf(std::string_view name, const Bytes& bytes);

}  // namespace cmp
