// The "VMeshRef" leaf: the 60-byte record by which a model part refers to its meshes in
// a library entry's mesh data stream. Written by the compound layout, read by the
// inspector; this is the one place that knows where its fields lie.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/little_endian.h"

namespace cmp {

inline constexpr std::size_t MeshReferenceSize = 60;

// Byte offsets of the fields; every byte not named here is zero.
inline constexpr std::size_t MeshReferenceSizeOffset = 0;        // u32, the record's own size
inline constexpr std::size_t MeshReferenceLibraryIdOffset = 4;   // u32, NameId of the entry
inline constexpr std::size_t MeshReferenceFirstMeshOffset = 16;  // u16, first mesh used
inline constexpr std::size_t MeshReferenceMeshCountOffset = 18;  // u16, meshes used

struct MeshReference {
    std::uint32_t recordSize = MeshReferenceSize;
    std::uint32_t libraryId = 0;
    std::uint16_t firstMesh = 0;
    std::uint16_t meshCount = 0;
};

// The record's bytes: the four fields little-endian at their offsets, zeros elsewhere.
Bytes EncodeMeshReference(const MeshReference& reference);

// The fields of a record; nullopt when `bytes` is shorter than the record (longer is
// the caller's to judge: the fields are read from the first 60 bytes).
std::optional<MeshReference> DecodeMeshReference(const Bytes& bytes);

}  // namespace cmp
