#include "mesh/mesh_data_stream.h"

#include <cerrno>
#include <cstring>

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

// Fills a buffer planned to its final size field by field: a stream at the format's
// limits is 2 MB, which byte-wise appending would grow piece by piece.
class FieldWriter {
  public:
    explicit FieldWriter(Bytes& out) : at_(out.data()) {}
    void U16(std::uint16_t value) {
        StoreU16(at_, value);
        at_ += 2;
    }
    void U32(std::uint32_t value) {
        StoreU32(at_, value);
        at_ += 4;
    }
    void F32(float value) {
        StoreF32(at_, value);
        at_ += 4;
    }

  private:
    std::uint8_t* at_;
};

void PutStreamHeader(FieldWriter& out, const StreamCounts& counts) {
    out.U32(StreamHeaderFirst);
    out.U32(StreamHeaderSecond);
    out.U16(static_cast<std::uint16_t>(counts.meshes));
    out.U16(static_cast<std::uint16_t>(counts.indices));
    out.U16(StreamVertexFormat);
    out.U16(static_cast<std::uint16_t>(counts.vertices));
}

void PutMeshHeaders(FieldWriter& out, const MeshList& meshes) {
    std::size_t start = 0;
    for (const ExportMesh& mesh : meshes) {
        if (mesh.isHardpoint) {
            continue;
        }
        // A mesh without vertices ends one before its start, modulo 2^16.
        out.U32(NameId(mesh.materialName));
        out.U16(static_cast<std::uint16_t>(start));
        out.U16(static_cast<std::uint16_t>(start + mesh.vertices.size() - 1));
        out.U16(static_cast<std::uint16_t>(IndexCount(mesh)));
        out.U16(StreamMeshTrailer);
        start += mesh.vertices.size();
    }
}

// Indices stay local to their mesh; the mesh header's start vertex places them.
void PutIndexArrays(FieldWriter& out, const MeshList& meshes) {
    for (const ExportMesh& mesh : meshes) {
        if (!mesh.isHardpoint) {
            for (std::size_t k = 0; k < IndexCount(mesh); ++k) {
                out.U16(mesh.triangles[k]);
            }
        }
    }
}

void PutVertex(FieldWriter& out, const ExportVertex& vertex) {
    for (const float value : vertex.position) {
        out.F32(value);
    }
    for (const float value : vertex.normal) {
        out.F32(value);
    }
    out.F32(vertex.u);
    out.F32(vertex.v);
}

void PutVertexArrays(FieldWriter& out, const MeshList& meshes) {
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
    const StreamCounts counts = CountStream(meshes);
    Bytes stream(MeshDataStreamSize(meshes));
    FieldWriter out(stream);
    PutStreamHeader(out, counts);
    PutMeshHeaders(out, meshes);
    PutIndexArrays(out, meshes);
    PutVertexArrays(out, meshes);
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
