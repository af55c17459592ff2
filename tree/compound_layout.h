#pragma once

#include <cstdint>

#include "core/little_endian.h"
#include "core/result.h"
#include "mesh/export_mesh.h"
#include "tree/node_tree.h"

// Number of meshes whose name does not begin with "hp" in any letter case.
std::int32_t CountNonHardpointMeshes(const MeshList& meshes);

// Reads the whole mesh data stream back from `path` and deletes the file. Fails, with a
// message naming the file, when it cannot be opened or yields fewer bytes than its length.
Result<Bytes> ReadBackMeshDataStream(const char* path);

// Inserts the fixed compound-model layout into an empty tree, with `meshDataStream` as
// the "VMeshData" payload. `meshes` must not be empty (its first mesh gives the base name).
void BuildCompoundLayoutFromStream(NodeTree& tree, const MeshList& meshes, Bytes meshDataStream);

// ReadBackMeshDataStream(path), then BuildCompoundLayoutFromStream. On failure the tree
// is left empty.
Status BuildCompoundLayout(NodeTree& tree, const MeshList& meshes, const char* path);
