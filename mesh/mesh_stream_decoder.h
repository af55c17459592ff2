// The decoder of the mesh data stream, beside its encoder (mesh_data_stream.h): every
// reader of the stream's bytes reads them here. Field by field as the file holds them,
// and never past the bytes given.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/error.h"
#include "core/little_endian.h"

namespace cmp {

// The 16-byte header of a mesh data stream.
struct MeshStreamHeader {
    std::uint32_t first = 0;
    std::uint32_t second = 0;
    std::uint16_t meshCount = 0;
    std::uint16_t indexCount = 0;
    std::uint16_t vertexFormat = 0;
    std::uint16_t vertexCount = 0;
};

// The 12-byte header of one mesh in the stream.
struct MeshStreamMesh {
    std::uint32_t material = 0;
    std::uint16_t startVertex = 0;
    std::uint16_t endVertex = 0;  // inclusive
    std::uint16_t indexCount = 0;
    std::uint16_t trailer = 0;
    // The end vertex is inclusive and wraps in 16 bits, like the writer's.
    std::uint32_t VertexCount() const {
        return static_cast<std::uint16_t>(endVertex - startVertex + 1);
    }
};

// One vertex record as stored.
struct MeshStreamVertex {
    float position[3] = {0, 0, 0};
    float normal[3] = {0, 0, 0};
    float u = 0;
    float v = 0;
};

// The header; nothing when the bytes are fewer than a header.
std::optional<MeshStreamHeader> ReadMeshStreamHeader(std::span<const std::uint8_t> bytes);

// The length in bytes that a header's counts call for.
std::uint64_t MeshStreamLength(const MeshStreamHeader& header);

// The headers of the first `count` meshes, as many as lie whole inside `bytes` (fewer
// when the stream is cut short).
std::vector<MeshStreamMesh> ReadMeshStreamMeshes(std::span<const std::uint8_t> bytes,
                                                 std::uint16_t count);

// Whether the first bytes of a file (`head`, at least its header) and its length make it
// a whole stream as this exporter writes one: the header's version fields and vertex
// format, and exactly the length its counts call for.
bool IsWholeMeshDataStream(std::span<const std::uint8_t> head, std::uint64_t length);

// Whether they make it the start of such a stream, cut short: what a writer stopped in the
// middle leaves.
bool IsUnfinishedMeshDataStream(std::span<const std::uint8_t> head, std::uint64_t length);

// A stream checked whole: its header, every mesh's header, and where each mesh's indices
// and vertices begin.
struct DecodedMeshStream {
    MeshStreamHeader header;
    std::vector<MeshStreamMesh> meshes;
    std::vector<std::size_t> indicesAt;   // byte offset of each mesh's first index
    std::vector<std::size_t> verticesAt;  // byte offset of each mesh's first vertex
};

// Checks every count and bound of a stream: the header (the known vertex format), the
// length its counts call for, each mesh's indices and vertices inside the stream, whole
// triangles, and every index within its mesh's vertices. MalformedStream naming the
// first problem and its byte offset.
[[nodiscard]] Result<DecodedMeshStream> DecodeMeshStream(std::span<const std::uint8_t> bytes);

// Index `i` of mesh `m`, and vertex `v` of mesh `m`, of a decoded stream.
std::uint16_t MeshStreamIndex(std::span<const std::uint8_t> bytes, const DecodedMeshStream& stream,
                              std::size_t m, std::size_t i);
MeshStreamVertex MeshStreamVertexAt(std::span<const std::uint8_t> bytes,
                                    const DecodedMeshStream& stream, std::size_t m, std::size_t v);

}  // namespace cmp
