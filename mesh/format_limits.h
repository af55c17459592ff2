#pragma once

#include "core/result.h"
#include "mesh/export_mesh.h"

// Every reason this list cannot be stored as a mesh data stream, checked before any
// byte is written: more than 65,535 non-hardpoint meshes, indices or vertices in all,
// a corner at or above its mesh's vertex count, a position or texture coordinate that
// is not finite. The message names the mesh and the numbers.
Status CheckFormatLimits(const MeshList& meshes);
