#pragma once

#include <cstdint>

#include "core/little_endian.h"
#include "core/result.h"
#include "mesh/export_mesh.h"
#include "tree/node_tree.h"

namespace cmp {

// Number of meshes whose name does not begin with "hp" in any letter case.
std::int32_t CountNonHardpointMeshes(const MeshList& meshes);

// Reads the whole mesh data stream back from `path` and deletes the file. Fails, with a
// message naming the file and the reason, when it cannot be opened or sized, claims more
// bytes than any mesh data stream can hold, or yields fewer bytes than its length; the
// file is then left where it is. A file that cannot be deleted after a good read is left
// behind without failing the read.
[[nodiscard]] Result<Bytes> ReadBackMeshDataStream(const char* path);

// The 60-byte "VMeshRef" record: its own size, the identifier of the library entry
// name, the number of non-hardpoint meshes at offset 18, zeros elsewhere.
Bytes MeshRefRecord(const std::string& libraryEntryName, std::int32_t meshCount);

// Inserts the fixed compound-model layout into an empty tree, with `meshDataStream` as
// the "VMeshData" payload. `meshes` must not be empty: its first mesh, whatever it is,
// gives the base name, from which "<base>.lod0.vms" and "<base>.3db" are composed at
// full length.
void BuildCompoundLayoutFromStream(NodeTree& tree, const MeshList& meshes, Bytes meshDataStream);

// ReadBackMeshDataStream(path), then BuildCompoundLayoutFromStream. Fails, leaving the
// tree empty, when the stream cannot be read back, the list is empty, or the bytes read
// back are not as many as the list's mesh data stream has (the stream file is consumed
// all the same in the last two cases).
[[nodiscard]] Status BuildCompoundLayout(NodeTree& tree, const MeshList& meshes, const char* path);

}  // namespace cmp
