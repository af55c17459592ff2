// Decoders of the leaves cmpinfo knows. Each takes a leaf's bytes as hostile input, reads
// only inside them, and returns what it found as data (decoded_leaf.h) with every problem.
// A leaf too short for its decoder comes back as an UnknownLeaf with a problem that says so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "core/little_endian.h"
#include "tools/cmpinfo/read/decoded_leaf.h"

namespace cmp {

// "VMeshData": the stream header, every mesh header, the length the counts call for, and
// every index against its own mesh's vertex count.
LeafDecoding DecodeMeshDataStream(std::span<const std::uint8_t> bytes);

// The mesh count of a mesh data stream's header, which other leaves refer to; nullopt
// when the stream is too short for its header.
std::optional<std::uint16_t> MeshDataStreamMeshCount(std::span<const std::uint8_t> bytes);

// "VMeshRef": the fields of the mesh reference record, shown whenever the bytes reach
// them, with a problem when the record is not exactly MeshReferenceSize bytes or its
// size field says otherwise.
LeafDecoding DecodeMeshReferenceLeaf(std::span<const std::uint8_t> bytes);

// "File name", "Object name": text ending in one 0 byte.
LeafDecoding DecodeText(std::span<const std::uint8_t> bytes);

// `rows` rows of `perRow` reals ("Position", "Axis": 1 x 3; "Orientation": 3 x 3).
LeafDecoding DecodeReals(std::span<const std::uint8_t> bytes, std::size_t rows, std::size_t perRow);

// "Max", "Min": one real, optionally followed by four bytes of zero padding; decoded as
// reals of one row of one.
LeafDecoding DecodeLimit(std::span<const std::uint8_t> bytes);

// Any other leaf: its size and first bytes.
LeafDecoding DecodeUnknown(std::span<const std::uint8_t> bytes);

// The decoder for a leaf of this name.
LeafDecoding DecodeLeaf(std::string_view name, std::span<const std::uint8_t> bytes);

}  // namespace cmp
