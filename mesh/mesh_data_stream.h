#pragma once

#include <cstddef>
#include <cstdio>
#include <span>
#include <vector>

#include "core/error.h"
#include "core/gathered_write.h"
#include "core/little_endian.h"
#include "mesh/export_mesh.h"
#include "mesh/format_limits.h"

namespace cmp {

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

// The longest stream the format's 16-bit counts allow.
inline constexpr std::size_t MaxMeshDataStreamSize =
    StreamHeaderSize + MaxStreamMeshes * StreamMeshHeaderSize + MaxStreamIndices * StreamIndexSize +
    MaxStreamVertices * StreamVertexSize;

// The mesh data stream of every non-hardpoint mesh, in list order: 16-byte header,
// 12-byte mesh headers, index arrays, vertex arrays; 16 + 12 M + 2 I + 32 V bytes.
// Counts come from the arrays themselves (vertices.size(), triangles.size() / 3), so
// nothing outside them is read. Assumes CheckFormatLimits passed; counts beyond 16 bits
// are truncated to their field otherwise.
Bytes BuildMeshDataStream(const MeshList& meshes);

// The same stream as pieces to write one after another, without building it: the
// headers are built here; on a little-endian machine the index and vertex arrays are
// pieces of the meshes' own arrays, which already hold the stream's bytes (elsewhere
// they are built too). The pieces are valid while this object and `meshes` live
// unchanged.
class MeshDataStreamPieces {
  public:
    explicit MeshDataStreamPieces(const MeshList& meshes);
    MeshDataStreamPieces(const MeshDataStreamPieces&) = delete;
    MeshDataStreamPieces& operator=(const MeshDataStreamPieces&) = delete;

    std::span<const BytePiece> GetPieces() const { return pieces_; }

  private:
    Bytes head_;
    std::vector<BytePiece> pieces_;
};

// The length of BuildMeshDataStream(meshes), without building it.
std::size_t MeshDataStreamSize(const MeshList& meshes);

// Writes BuildMeshDataStream(meshes) to `file` (open for binary writing; it stays open
// and the caller's) and flushes it, since a full disk often shows only then. A failed
// write or flush gives CannotWrite with the system's reason as the message. The file
// itself, its name and its lifetime are the caller's: see plugin/temporary_stream.h.
[[nodiscard]] Status WriteMeshDataStream(const MeshList& meshes, std::FILE* file);

}  // namespace cmp
