#include "mesh/mesh.h"

#include <string>

namespace cmp {

namespace {

Error Malformed(std::size_t at, const std::string& what) {
    return Error{ErrorCode::MalformedStream, what + " (at byte " + std::to_string(at) + ")", at};
}

}  // namespace

std::optional<MeshStreamHeader> ReadMeshStreamHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < StreamHeaderSize) {
        return std::nullopt;
    }
    const std::uint8_t* at = bytes.data();
    return MeshStreamHeader{LoadU32(at),      LoadU32(at + 4),  LoadU16(at + 8),
                            LoadU16(at + 10), LoadU16(at + 12), LoadU16(at + 14)};
}

std::uint64_t MeshStreamLength(const MeshStreamHeader& header) {
    return StreamHeaderSize + std::uint64_t{StreamMeshHeaderSize} * header.meshCount +
           std::uint64_t{StreamIndexSize} * header.indexCount +
           std::uint64_t{StreamVertexSize} * header.vertexCount;
}

std::vector<MeshStreamMesh> ReadMeshStreamMeshes(std::span<const std::uint8_t> bytes,
                                                 std::uint16_t count) {
    std::vector<MeshStreamMesh> meshes;
    for (std::size_t m = 0; m < count; ++m) {
        const std::size_t at = StreamHeaderSize + StreamMeshHeaderSize * m;
        if (at + StreamMeshHeaderSize > bytes.size()) {
            break;
        }
        const std::uint8_t* field = bytes.data() + at;
        meshes.push_back({LoadU32(field), LoadU16(field + 4), LoadU16(field + 6),
                          LoadU16(field + 8), LoadU16(field + 10)});
    }
    return meshes;
}

namespace {

// The header of a stream as this exporter writes one, if `head` begins with one.
std::optional<MeshStreamHeader> ExportersHeader(std::span<const std::uint8_t> head) {
    const std::optional<MeshStreamHeader> header = ReadMeshStreamHeader(head);
    if (header && header->first == StreamHeaderFirst && header->second == StreamHeaderSecond &&
        header->vertexFormat == StreamVertexFormat) {
        return header;
    }
    return std::nullopt;
}

}  // namespace

bool IsWholeMeshDataStream(std::span<const std::uint8_t> head, std::uint64_t length) {
    const std::optional<MeshStreamHeader> header = ExportersHeader(head);
    return header && length == MeshStreamLength(*header);
}

bool IsUnfinishedMeshDataStream(std::span<const std::uint8_t> head, std::uint64_t length) {
    const std::optional<MeshStreamHeader> header = ExportersHeader(head);
    return header && length < MeshStreamLength(*header);
}

Result<DecodedMeshStream> DecodeMeshStream(std::span<const std::uint8_t> bytes) {
    const std::optional<MeshStreamHeader> header = ReadMeshStreamHeader(bytes);
    if (!header) {
        return Malformed(bytes.size(), "the stream is shorter than its 16-byte header");
    }
    if (header->vertexFormat != StreamVertexFormat) {
        return Malformed(12, "the vertex format is not 0x112");
    }
    if (bytes.size() != MeshStreamLength(*header)) {
        return Malformed(bytes.size(), "the stream is " + std::to_string(bytes.size()) +
                                           " bytes, its counts call for " +
                                           std::to_string(MeshStreamLength(*header)));
    }
    DecodedMeshStream stream{*header, ReadMeshStreamMeshes(bytes, header->meshCount), {}, {}};
    // Index arrays follow one another in mesh order, as do the vertex arrays.
    const std::size_t allIndicesAt = StreamHeaderSize + StreamMeshHeaderSize * header->meshCount;
    const std::size_t allVerticesAt = allIndicesAt + StreamIndexSize * header->indexCount;
    std::size_t indexAt = allIndicesAt;
    std::size_t vertexAt = allVerticesAt;
    for (std::size_t m = 0; m < stream.meshes.size(); ++m) {
        const MeshStreamMesh& mesh = stream.meshes[m];
        const std::size_t recordAt = StreamHeaderSize + StreamMeshHeaderSize * m;
        const std::size_t indexEnd = indexAt + StreamIndexSize * mesh.indexCount;
        const std::size_t vertexEnd = vertexAt + StreamVertexSize * mesh.VertexCount();
        if (indexEnd > allVerticesAt || vertexEnd > bytes.size()) {
            return Malformed(recordAt,
                             "mesh " + std::to_string(m) + " reaches past the end of its stream");
        }
        if (mesh.indexCount % 3 != 0) {
            return Malformed(recordAt + 8, "mesh " + std::to_string(m) +
                                               " has an index count that is not whole triangles");
        }
        for (std::size_t at = indexAt; at < indexEnd; at += StreamIndexSize) {
            const std::uint16_t index = LoadU16(bytes.data() + at);
            if (index >= mesh.VertexCount()) {
                return Malformed(at, "mesh " + std::to_string(m) + " names vertex " +
                                         std::to_string(index) + " of " +
                                         std::to_string(mesh.VertexCount()));
            }
        }
        stream.indicesAt.push_back(indexAt);
        stream.verticesAt.push_back(vertexAt);
        indexAt = indexEnd;
        vertexAt = vertexEnd;
    }
    return stream;
}

std::uint16_t MeshStreamIndex(std::span<const std::uint8_t> bytes, const DecodedMeshStream& stream,
                              std::size_t m, std::size_t i) {
    return LoadU16(bytes.data() + stream.indicesAt[m] + StreamIndexSize * i);
}

MeshStreamVertex MeshStreamVertexAt(std::span<const std::uint8_t> bytes,
                                    const DecodedMeshStream& stream, std::size_t m, std::size_t v) {
    const std::uint8_t* field = bytes.data() + stream.verticesAt[m] + StreamVertexSize * v;
    MeshStreamVertex vertex;
    for (std::size_t i = 0; i < 3; ++i) {
        vertex.position[i] = LoadF32(field + 4 * i);
        vertex.normal[i] = LoadF32(field + 12 + 4 * i);
    }
    vertex.u = LoadF32(field + 24);
    vertex.v = LoadF32(field + 28);
    return vertex;
}

}  // namespace cmp
