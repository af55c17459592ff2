#pragma once

#include "host/ztModelLib.h"
#include "mesh/export_mesh.h"

// Appends one ExportMesh per host mesh, in host order, with converted positions,
// texture coordinates, triangles, the hardpoint flag and normals. Never reads outside
// what the host returns: a null material handle leaves the material name empty, and
// a negative count is taken as 0.
void ExtractMeshes(ztModel model, MeshList& meshes);
