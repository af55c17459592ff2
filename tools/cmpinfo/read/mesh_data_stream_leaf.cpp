// The "VMeshData" leaf as cmpinfo reports it: every problem of a mesh data stream, read
// through the stream's decoder in mesh/.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/text.h"
#include "mesh/mesh.h"
#include "tools/cmpinfo/read/read.h"

namespace cmp {

namespace {

// The header of every mesh that lies whole inside the stream; a problem if one does not.
std::vector<MeshStreamMesh> ReadMeshHeaders(std::span<const std::uint8_t> bytes,
                                            std::uint16_t meshCount, ProblemList& problems) {
    std::vector<MeshStreamMesh> meshes = ReadMeshStreamMeshes(bytes, meshCount);
    if (meshes.size() < meshCount) {
        problems.Add("the stream ends inside the header of mesh " + std::to_string(meshes.size()));
    }
    return meshes;
}

void CheckHeader(const MeshStreamHeader& header, std::size_t streamSize,
                 std::uint64_t expectedLength, ProblemList& problems) {
    if (header.first != StreamHeaderFirst || header.second != StreamHeaderSecond) {
        problems.Add("the header begins " + std::to_string(header.first) + " " +
                     std::to_string(header.second) + " instead of 1 4");
    }
    const bool knownFormat = header.vertexFormat == StreamVertexFormat;
    if (!knownFormat) {
        problems.Add("vertex format " + HexWord(header.vertexFormat) +
                     " is not 0x112 (position, normal, one texture coordinate pair)");
    }
    if (knownFormat && streamSize != expectedLength) {
        problems.Add("the stream is " + Plural(streamSize, "byte", "bytes") +
                     ", its counts call for " + std::to_string(expectedLength));
    }
}

// Checks each mesh's index array against its own vertex count; reports the first index
// out of range per mesh. Only called when every array lies inside the stream.
void CheckIndexRanges(std::span<const std::uint8_t> bytes,
                      const std::vector<MeshStreamMesh>& meshes, std::size_t firstIndexAt,
                      ProblemList& problems) {
    std::size_t at = firstIndexAt;
    for (std::size_t m = 0; m < meshes.size(); ++m) {
        const std::uint32_t limit = meshes[m].VertexCount();
        for (std::uint32_t i = 0; i < meshes[m].indexCount; ++i, at += StreamIndexSize) {
            const std::uint16_t index = LoadU16(bytes.data() + at);
            if (index >= limit) {
                problems.Add("mesh " + std::to_string(m) + ": index " + std::to_string(i) + " is " +
                             std::to_string(index) + ", beyond its " +
                             Plural(limit, "vertex", "vertices"));
                at += StreamIndexSize * (meshes[m].indexCount - i);
                break;
            }
        }
    }
}

void CheckMeshRuns(const MeshStreamHeader& header, const std::vector<MeshStreamMesh>& meshes,
                   ProblemList& problems) {
    std::uint32_t vertexSum = 0;
    std::uint32_t indexSum = 0;
    for (std::size_t m = 0; m < meshes.size(); ++m) {
        const MeshStreamMesh& mesh = meshes[m];
        if (mesh.startVertex != static_cast<std::uint16_t>(vertexSum)) {
            problems.Add("mesh " + std::to_string(m) + " starts at vertex " +
                         std::to_string(mesh.startVertex) + ", but the meshes before it have " +
                         Plural(vertexSum, "vertex", "vertices"));
        }
        if (mesh.indexCount % 3 != 0) {
            problems.Add("mesh " + std::to_string(m) + " has " + std::to_string(mesh.indexCount) +
                         " indices, not a whole number of triangles");
        }
        if (mesh.trailer != StreamMeshTrailer) {
            problems.Add("mesh " + std::to_string(m) + " ends in " + HexWord(mesh.trailer) +
                         " instead of 0xCC");
        }
        vertexSum += mesh.VertexCount();
        indexSum += mesh.indexCount;
    }
    if (meshes.size() == header.meshCount && indexSum != header.indexCount) {
        problems.Add("the meshes have " + std::to_string(indexSum) +
                     " indices in all, the header says " + std::to_string(header.indexCount));
    }
    if (meshes.size() == header.meshCount && vertexSum != header.vertexCount) {
        problems.Add("the meshes have " + std::to_string(vertexSum) +
                     " vertices in all, the header says " + std::to_string(header.vertexCount));
    }
}

// The index arrays follow the mesh headers; they are checked only when all of them are
// there, since a cut stream leaves no way to tell where one mesh's indices end.
void CheckIndices(std::span<const std::uint8_t> bytes, const MeshDataStreamLeaf& stream,
                  ProblemList& problems) {
    const std::size_t firstIndexAt = StreamHeaderSize + StreamMeshHeaderSize * stream.meshes.size();
    std::uint64_t indexBytes = 0;
    for (const MeshStreamMesh& mesh : stream.meshes) {
        indexBytes += StreamIndexSize * mesh.indexCount;
    }
    if (stream.meshes.size() == stream.header.meshCount &&
        firstIndexAt + indexBytes <= bytes.size()) {
        CheckIndexRanges(bytes, stream.meshes, firstIndexAt, problems);
    } else if (!stream.meshes.empty()) {
        problems.Add("the index arrays do not fit in the stream; indices not checked");
    }
}

}  // namespace

std::optional<std::uint16_t> MeshDataStreamMeshCount(std::span<const std::uint8_t> bytes) {
    const std::optional<MeshStreamHeader> header = ReadMeshStreamHeader(bytes);
    if (!header) {
        return std::nullopt;
    }
    return header->meshCount;
}

LeafDecoding DecodeMeshDataStream(std::span<const std::uint8_t> bytes) {
    const std::optional<MeshStreamHeader> header = ReadMeshStreamHeader(bytes);
    if (!header) {
        LeafDecoding result = DecodeUnknown(bytes);
        result.problems.Add("the mesh data stream is " + Plural(bytes.size(), "byte", "bytes") +
                            ", shorter than its 16-byte header");
        return result;
    }
    ProblemList problems;
    MeshDataStreamLeaf stream;
    stream.header = *header;
    stream.expectedLength = MeshStreamLength(*header);
    CheckHeader(stream.header, bytes.size(), stream.expectedLength, problems);
    stream.meshes = ReadMeshHeaders(bytes, stream.header.meshCount, problems);
    CheckMeshRuns(stream.header, stream.meshes, problems);
    CheckIndices(bytes, stream, problems);
    return {std::move(stream), std::move(problems)};
}

}  // namespace cmp
