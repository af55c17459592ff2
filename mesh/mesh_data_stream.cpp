#include "mesh/mesh.h"

#include <bit>
#include <cstddef>
#include <limits>
#include <type_traits>
#include <vector>

namespace cmp {

namespace {

struct StreamCounts {
    std::size_t meshes = 0;
    std::size_t indices = 0;
    std::size_t vertices = 0;
};

std::size_t IndexCount(const ExportMesh& mesh) {
    return 3 * (mesh.triangles.size() / 3);
}

StreamCounts CountStream(const MeshList& meshes) {
    StreamCounts counts;
    for (const ExportMesh& mesh : meshes) {
        if (!mesh.isHardpoint) {
            counts.meshes += 1;
            counts.indices += IndexCount(mesh);
            counts.vertices += mesh.vertices.size();
        }
    }
    return counts;
}

// On a little-endian machine the vertex records and index arrays already hold the
// stream's bytes, field for field, and are taken whole. The records' layout is pinned
// here so that taking them whole can never give other bytes than storing each field.
constexpr bool RecordsHoldStreamBytes = std::endian::native == std::endian::little;
static_assert(std::numeric_limits<float>::is_iec559 && sizeof(float) == 4);
static_assert(std::is_standard_layout_v<ExportVertex> &&
              std::is_trivially_copyable_v<ExportVertex>);
static_assert(sizeof(ExportVertex) == StreamVertexSize);
static_assert(offsetof(ExportVertex, position) == 0 && offsetof(ExportVertex, normal) == 12 &&
              offsetof(ExportVertex, u) == 24 && offsetof(ExportVertex, v) == 28);

template <class T>
BytePiece BytesOf(const std::vector<T>& values, std::size_t count) {
    return {reinterpret_cast<const std::uint8_t*>(values.data()), count * sizeof(T)};
}

void PutStreamHeader(Bytes& out, const StreamCounts& counts) {
    AppendU32(out, StreamHeaderFirst);
    AppendU32(out, StreamHeaderSecond);
    AppendU16(out, static_cast<std::uint16_t>(counts.meshes));
    AppendU16(out, static_cast<std::uint16_t>(counts.indices));
    AppendU16(out, StreamVertexFormat);
    AppendU16(out, static_cast<std::uint16_t>(counts.vertices));
}

void PutMeshHeaders(Bytes& out, const MeshList& meshes) {
    std::size_t start = 0;
    for (const ExportMesh& mesh : meshes) {
        if (mesh.isHardpoint) {
            continue;
        }
        // A mesh without vertices ends one before its start, modulo 2^16.
        AppendU32(out, NameId(mesh.materialName));
        AppendU16(out, static_cast<std::uint16_t>(start));
        AppendU16(out, static_cast<std::uint16_t>(start + mesh.vertices.size() - 1));
        AppendU16(out, static_cast<std::uint16_t>(IndexCount(mesh)));
        AppendU16(out, StreamMeshTrailer);
        start += mesh.vertices.size();
    }
}

// Indices stay local to their mesh; the mesh header's start vertex places them.
void PutIndexArrays(Bytes& out, const MeshList& meshes) {
    for (const ExportMesh& mesh : meshes) {
        if (!mesh.isHardpoint) {
            for (std::size_t k = 0; k < IndexCount(mesh); ++k) {
                AppendU16(out, mesh.triangles[k]);
            }
        }
    }
}

void PutVertex(Bytes& out, const ExportVertex& vertex) {
    for (const float value : vertex.position) {
        AppendF32(out, value);
    }
    for (const float value : vertex.normal) {
        AppendF32(out, value);
    }
    AppendF32(out, vertex.u);
    AppendF32(out, vertex.v);
}

void PutVertexArrays(Bytes& out, const MeshList& meshes) {
    for (const ExportMesh& mesh : meshes) {
        if (!mesh.isHardpoint) {
            for (const ExportVertex& vertex : mesh.vertices) {
                PutVertex(out, vertex);
            }
        }
    }
}

}  // namespace

std::size_t MeshDataStreamSize(const MeshList& meshes) {
    const StreamCounts counts = CountStream(meshes);
    return StreamHeaderSize + StreamMeshHeaderSize * counts.meshes +
           StreamIndexSize * counts.indices + StreamVertexSize * counts.vertices;
}

Bytes BuildMeshDataStream(const MeshList& meshes) {
    Bytes stream;
    stream.reserve(MeshDataStreamSize(meshes));
    PutStreamHeader(stream, CountStream(meshes));
    PutMeshHeaders(stream, meshes);
    PutIndexArrays(stream, meshes);
    PutVertexArrays(stream, meshes);
    return stream;
}

MeshDataStreamPieces::MeshDataStreamPieces(const MeshList& meshes) {
    if constexpr (!RecordsHoldStreamBytes) {
        built_ = BuildMeshDataStream(meshes);
        pieces_.push_back(built_);
        return;
    }
    const StreamCounts counts = CountStream(meshes);
    built_.reserve(StreamHeaderSize + StreamMeshHeaderSize * counts.meshes);
    PutStreamHeader(built_, counts);
    PutMeshHeaders(built_, meshes);
    pieces_.push_back(built_);
    for (const ExportMesh& mesh : meshes) {
        if (!mesh.isHardpoint && IndexCount(mesh) > 0) {
            pieces_.push_back(BytesOf(mesh.triangles, IndexCount(mesh)));
        }
    }
    for (const ExportMesh& mesh : meshes) {
        if (!mesh.isHardpoint && !mesh.vertices.empty()) {
            pieces_.push_back(BytesOf(mesh.vertices, mesh.vertices.size()));
        }
    }
}

}  // namespace cmp
