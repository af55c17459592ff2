#include "mesh/mesh_data_stream.h"

#include <bit>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

#include "mesh/name_id.h"

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
// stream's bytes, field for field, and are taken whole; elsewhere each field is stored
// in little-endian order. The records' layout is pinned here so that the bulk copy can
// never give other bytes than the field-by-field path.
constexpr bool BulkCopy = std::endian::native == std::endian::little;
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

// Indices stay local to their mesh; the mesh header's start vertex places them. Field
// by field, for a machine whose records do not hold the stream's bytes.
[[maybe_unused]] void PutIndexArrays(Bytes& out, const MeshList& meshes) {
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

[[maybe_unused]] void PutVertexArrays(Bytes& out, const MeshList& meshes) {
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

MeshDataStreamPieces::MeshDataStreamPieces(const MeshList& meshes) {
    const StreamCounts counts = CountStream(meshes);
    head_.reserve(StreamHeaderSize + StreamMeshHeaderSize * counts.meshes);
    PutStreamHeader(head_, counts);
    PutMeshHeaders(head_, meshes);
    if constexpr (!BulkCopy) {
        PutIndexArrays(head_, meshes);
        PutVertexArrays(head_, meshes);
    }
    pieces_.push_back(head_);
    if constexpr (BulkCopy) {
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
}

Bytes BuildMeshDataStream(const MeshList& meshes) {
    const MeshDataStreamPieces pieces(meshes);
    // Reserved at its final size and appended to: no byte is written twice.
    Bytes stream;
    stream.reserve(MeshDataStreamSize(meshes));
    for (const BytePiece piece : pieces.GetPieces()) {
        stream.insert(stream.end(), piece.begin(), piece.end());
    }
    return stream;
}

Status WriteMeshDataStream(const MeshList& meshes, std::FILE* file) {
    const Bytes stream = BuildMeshDataStream(meshes);
    errno = 0;
    if (std::fwrite(stream.data(), 1, stream.size(), file) != stream.size() ||
        std::fflush(file) != 0) {
        return Error{ErrorCode::CannotWrite, std::strerror(errno != 0 ? errno : EIO)};
    }
    return Status::Ok();
}

}  // namespace cmp
