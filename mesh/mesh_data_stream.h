#pragma once

#include "core/little_endian.h"
#include "core/result.h"
#include "mesh/export_mesh.h"

inline constexpr const char* TempStreamFileName = "___temp.vms";

// The mesh data stream of every non-hardpoint mesh, in list order: 16-byte header,
// 12-byte mesh headers, index arrays, vertex arrays. Assumes CheckFormatLimits passed;
// counts beyond 16 bits are truncated to their field otherwise.
Bytes BuildMeshDataStream(const MeshList& meshes);

// Writes BuildMeshDataStream to `path`. On any failure (open, short write, close) the
// partial file is removed and the error names the path and the reason.
Status WriteMeshDataStream(const MeshList& meshes, const char* path = TempStreamFileName);
