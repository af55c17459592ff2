#pragma once

#include <cstdint>

#include "host/ztModelLib.h"
#include "mesh/export_mesh.h"

namespace cmp {

// The most meshes, and the most vertices or triangles of one mesh, that extraction
// reads. A larger count from the host is read as this many: no storable model comes
// near (the mesh data stream holds at most 65,535 vertices and 21,845 triangles of
// ordinary meshes), CheckFormatLimits refuses such a model by its totals, and a host
// that reports billions cannot exhaust memory.
inline constexpr std::int32_t MaxHostMeshCount = 1 << 18;
inline constexpr std::int32_t MaxHostElementCount = 1 << 20;

// Appends one ExportMesh per host mesh, in host order, with converted positions,
// texture coordinates, triangles, the hardpoint flag and normals (GenerateNormals).
// Nothing is judged here: CheckFormatLimits refuses what the file cannot hold. Never
// calls the model library with a null handle and never reads outside what the host returns: a null
// model adds nothing; a null mesh handle gives an empty record; a null material handle leaves the
// material name empty; a null vertex or triangle handle gives zeros; a negative count is taken as
// 0. Names are cut to HostNameCapacity bytes.
void ExtractMeshes(ztModel model, MeshList& meshes);

}  // namespace cmp
