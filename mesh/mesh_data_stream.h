#pragma once

#include <cstddef>

#include "core/little_endian.h"
#include "core/result.h"
#include "mesh/export_mesh.h"

namespace cmp {

inline constexpr const char* TempStreamFileName = "___temp.vms";

// Constants of the format: stream header version fields, the vertex layout code
// (position, normal, one texture-coordinate pair) and the mesh header's trailing field.
inline constexpr std::uint32_t StreamHeaderFirst = 1;
inline constexpr std::uint32_t StreamHeaderSecond = 4;
inline constexpr std::uint16_t StreamVertexFormat = 0x0112;
inline constexpr std::uint16_t StreamMeshTrailer = 0x00CC;

inline constexpr std::size_t StreamHeaderSize = 16;
inline constexpr std::size_t StreamMeshHeaderSize = 12;
inline constexpr std::size_t StreamIndexSize = 2;
inline constexpr std::size_t StreamVertexSize = 32;

// The mesh data stream of every non-hardpoint mesh, in list order: 16-byte header,
// 12-byte mesh headers, index arrays, vertex arrays; 16 + 12 M + 2 I + 32 V bytes.
// Counts come from the arrays themselves (vertices.size(), triangles.size() / 3), so
// nothing outside them is read. Assumes CheckFormatLimits passed; counts beyond 16 bits
// are truncated to their field otherwise.
Bytes BuildMeshDataStream(const MeshList& meshes);

// The length of BuildMeshDataStream(meshes), without building it.
std::size_t MeshDataStreamSize(const MeshList& meshes);

// Writes BuildMeshDataStream to `path`. On any failure (open, short write, close) the
// error names the path and the system's reason, and the partial file is removed when
// `path` names a regular file (never a directory, device or symbolic link).
[[nodiscard]] Status WriteMeshDataStream(const MeshList& meshes,
                                         const char* path = TempStreamFileName);

}  // namespace cmp
