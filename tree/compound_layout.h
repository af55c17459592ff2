#pragma once

#include <cstdint>

#include "core/error.h"
#include "core/little_endian.h"
#include "mesh/export_mesh.h"
#include "tree/node_tree.h"

namespace cmp {

// Number of meshes not flagged as hardpoints (ExportMesh::isHardpoint).
std::int32_t CountNonHardpointMeshes(const MeshList& meshes);

// The 60-byte "VMeshRef" record: its own size, the identifier of the library entry
// name, the number of non-hardpoint meshes at offset 18, zeros elsewhere.
Bytes MeshRefRecord(const std::string& libraryEntryName, std::int32_t meshCount);

// Inserts the fixed compound-model layout into an empty tree, with `meshDataStream` as
// the "VMeshData" payload. `meshes` must not be empty: its first mesh, whatever it is,
// gives the base name, from which "<base>.lod0.vms" and "<base>.3db" are composed at
// full length.
void BuildCompoundLayout(NodeTree& tree, const MeshList& meshes, Bytes meshDataStream);

}  // namespace cmp
