#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "core/error.h"
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
// 12-byte mesh headers, index arrays, vertex arrays; 16 + 12 M + 2 I + 32 V bytes. Every
// field is stored in little-endian order, one by one, whatever the machine. Counts come
// from the arrays themselves (vertices.size(), triangles.size() / 3), so nothing outside
// them is read. Assumes CheckFormatLimits passed; counts beyond 16 bits are truncated to
// their field otherwise.
Bytes BuildMeshDataStream(const MeshList& meshes);

// The same stream as pieces to write one after another. On a little-endian machine the
// meshes' index and vertex arrays already hold the stream's bytes, so only the headers
// are built and the arrays are pieces of their own; elsewhere the one piece is
// BuildMeshDataStream(meshes). The pieces are valid while this object and `meshes` live
// unchanged.
class MeshDataStreamPieces {
  public:
    explicit MeshDataStreamPieces(const MeshList& meshes);
    MeshDataStreamPieces(const MeshDataStreamPieces&) = delete;
    MeshDataStreamPieces& operator=(const MeshDataStreamPieces&) = delete;

    std::span<const BytePiece> GetPieces() const { return pieces_; }

  private:
    Bytes built_;  // the headers, or the whole stream
    std::vector<BytePiece> pieces_;
};

// The length of BuildMeshDataStream(meshes), without building it.
std::size_t MeshDataStreamSize(const MeshList& meshes);

}  // namespace cmp
