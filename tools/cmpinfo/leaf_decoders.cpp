#include "tools/cmpinfo/leaf_decoders.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "mesh/mesh_data_stream.h"
#include "tools/cmpinfo/json_writer.h"

namespace cmp {

namespace {

constexpr std::size_t PreviewBytes = 16;

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

std::string HexPreview(const Bytes& bytes) {
    std::string text;
    const std::size_t shown = std::min(bytes.size(), PreviewBytes);
    for (std::size_t i = 0; i < shown; ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        text += (i ? " " : "") + std::string(pair);
    }
    if (bytes.size() > shown) {
        text += " ... (" + std::to_string(bytes.size() - shown) + " more)";
    }
    return text;
}

std::string Plural(std::uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string Printable(std::string_view text) {
    std::string shown;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            shown += c;
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            shown += escape;
        }
    }
    return shown;
}

namespace {

struct StreamHeader {
    std::uint32_t first;
    std::uint32_t second;
    std::uint16_t meshes;
    std::uint16_t indices;
    std::uint16_t vertexFormat;
    std::uint16_t vertices;
};

StreamHeader ReadStreamHeader(const Bytes& bytes) {
    const std::uint8_t* at = bytes.data();
    return {LoadU32(at),      LoadU32(at + 4),  LoadU16(at + 8),
            LoadU16(at + 10), LoadU16(at + 12), LoadU16(at + 14)};
}

struct StreamMesh {
    std::uint32_t material;
    std::uint16_t startVertex;
    std::uint16_t endVertex;
    std::uint16_t indexCount;
    std::uint16_t trailer;
    // The end vertex is inclusive and wraps in 16 bits, like the writer's.
    std::uint32_t VertexCount() const {
        return static_cast<std::uint16_t>(endVertex - startVertex + 1);
    }
};

// Checks each mesh's index array against its own vertex count; reports the first index
// out of range per mesh. Only called when every array lies inside the stream.
void CheckIndexRanges(const Bytes& bytes, const std::vector<StreamMesh>& meshes,
                      std::size_t firstIndexAt, std::vector<std::string>& problems) {
    std::size_t at = firstIndexAt;
    for (std::size_t m = 0; m < meshes.size(); ++m) {
        const std::uint32_t limit = meshes[m].VertexCount();
        for (std::uint32_t i = 0; i < meshes[m].indexCount; ++i, at += StreamIndexSize) {
            const std::uint16_t index = LoadU16(bytes.data() + at);
            if (index >= limit) {
                problems.push_back("mesh " + std::to_string(m) + ": index " + std::to_string(i) +
                                   " is " + std::to_string(index) + ", beyond its " +
                                   Plural(limit, "vertex", "vertices"));
                at += StreamIndexSize * (meshes[m].indexCount - i);
                break;
            }
        }
    }
}

void CheckMeshRuns(const StreamHeader& header, const std::vector<StreamMesh>& meshes,
                   std::vector<std::string>& problems) {
    std::uint32_t vertexSum = 0;
    std::uint32_t indexSum = 0;
    for (std::size_t m = 0; m < meshes.size(); ++m) {
        const StreamMesh& mesh = meshes[m];
        if (mesh.startVertex != static_cast<std::uint16_t>(vertexSum)) {
            problems.push_back("mesh " + std::to_string(m) + " starts at vertex " +
                               std::to_string(mesh.startVertex) +
                               ", but the meshes before it have " +
                               Plural(vertexSum, "vertex", "vertices"));
        }
        if (mesh.indexCount % 3 != 0) {
            problems.push_back("mesh " + std::to_string(m) + " has " +
                               std::to_string(mesh.indexCount) +
                               " indices, not a whole number of triangles");
        }
        if (mesh.trailer != StreamMeshTrailer) {
            problems.push_back("mesh " + std::to_string(m) + " ends in " + Hex(mesh.trailer) +
                               " instead of 0xCC");
        }
        vertexSum += mesh.VertexCount();
        indexSum += mesh.indexCount;
    }
    if (meshes.size() == header.meshes && indexSum != header.indices) {
        problems.push_back("the meshes have " + std::to_string(indexSum) +
                           " indices in all, the header says " + std::to_string(header.indices));
    }
    if (meshes.size() == header.meshes && vertexSum != header.vertices) {
        problems.push_back("the meshes have " + std::to_string(vertexSum) +
                           " vertices in all, the header says " + std::to_string(header.vertices));
    }
}

}  // namespace

MeshDataSummary SummarizeMeshDataStream(const Bytes& bytes) {
    if (bytes.size() < StreamHeaderSize) {
        return {};
    }
    return {true, ReadStreamHeader(bytes).meshes};
}

LeafDecoding DecodeMeshDataStream(const Bytes& bytes) {
    LeafDecoding result;
    if (bytes.size() < StreamHeaderSize) {
        result = DecodeUnknown(bytes);
        result.problems.push_back("the mesh data stream is " +
                                  Plural(bytes.size(), "byte", "bytes") +
                                  ", shorter than its 16-byte header");
        return result;
    }
    const StreamHeader header = ReadStreamHeader(bytes);
    result.lines.push_back("mesh data stream: " + Plural(header.meshes, "mesh", "meshes") + ", " +
                           Plural(header.indices, "index", "indices") + ", " +
                           Plural(header.vertices, "vertex", "vertices") + ", vertex format " +
                           Hex(header.vertexFormat));
    if (header.first != StreamHeaderFirst || header.second != StreamHeaderSecond) {
        result.problems.push_back("the header begins " + std::to_string(header.first) + " " +
                                  std::to_string(header.second) + " instead of 1 4");
    }
    const bool knownFormat = header.vertexFormat == StreamVertexFormat;
    if (!knownFormat) {
        result.problems.push_back("vertex format " + Hex(header.vertexFormat) +
                                  " is not 0x112 (position, normal, one texture coordinate pair)");
    }
    const std::uint64_t expected = StreamHeaderSize + StreamMeshHeaderSize * header.meshes +
                                   StreamIndexSize * header.indices +
                                   StreamVertexSize * header.vertices;
    if (knownFormat && bytes.size() != expected) {
        result.problems.push_back("the stream is " + Plural(bytes.size(), "byte", "bytes") +
                                  ", its counts call for " + std::to_string(expected));
    }

    std::vector<StreamMesh> meshes;
    for (std::size_t m = 0; m < header.meshes; ++m) {
        const std::size_t at = StreamHeaderSize + StreamMeshHeaderSize * m;
        if (at + StreamMeshHeaderSize > bytes.size()) {
            result.problems.push_back("the stream ends inside the header of mesh " +
                                      std::to_string(m));
            break;
        }
        const std::uint8_t* field = bytes.data() + at;
        meshes.push_back({LoadU32(field), LoadU16(field + 4), LoadU16(field + 6),
                          LoadU16(field + 8), LoadU16(field + 10)});
        const StreamMesh& mesh = meshes.back();
        result.lines.push_back("mesh " + std::to_string(m) + ": material " + Hex(mesh.material) +
                               ", vertices " + std::to_string(mesh.startVertex) + ".." +
                               std::to_string(mesh.endVertex) + " (" +
                               std::to_string(mesh.VertexCount()) + "), " +
                               Plural(mesh.indexCount, "index", "indices"));
    }
    CheckMeshRuns(header, meshes, result.problems);

    const std::size_t firstIndexAt = StreamHeaderSize + StreamMeshHeaderSize * meshes.size();
    std::uint64_t indexBytes = 0;
    for (const StreamMesh& mesh : meshes) {
        indexBytes += StreamIndexSize * mesh.indexCount;
    }
    if (meshes.size() == header.meshes && firstIndexAt + indexBytes <= bytes.size()) {
        CheckIndexRanges(bytes, meshes, firstIndexAt, result.problems);
    } else if (!meshes.empty()) {
        result.problems.push_back("the index arrays do not fit in the stream; indices not checked");
    }

    JsonWriter json;
    json.BeginObject().Key("kind").String("mesh data stream");
    json.Key("header").BeginObject();
    json.Key("first").Number(header.first).Key("second").Number(header.second);
    json.Key("meshes").Number(header.meshes).Key("indices").Number(header.indices);
    json.Key("vertexFormat").Number(header.vertexFormat).Key("vertices").Number(header.vertices);
    json.EndObject();
    json.Key("expectedLength").Number(static_cast<std::int64_t>(expected));
    json.Key("meshes").BeginArray();
    for (const StreamMesh& mesh : meshes) {
        json.BeginObject();
        json.Key("material").Number(mesh.material);
        json.Key("startVertex").Number(mesh.startVertex).Key("endVertex").Number(mesh.endVertex);
        json.Key("vertexCount").Number(mesh.VertexCount());
        json.Key("indexCount").Number(mesh.indexCount).Key("trailer").Number(mesh.trailer);
        json.EndObject();
    }
    json.EndArray().EndObject();
    result.json = json.Text();
    return result;
}

LeafDecoding DecodeMeshReferenceLeaf(const Bytes& bytes) {
    if (bytes.size() < 20) {
        LeafDecoding result = DecodeUnknown(bytes);
        result.problems.push_back("the mesh reference is " + Plural(bytes.size(), "byte", "bytes") +
                                  ", expected 60");
        return result;
    }
    const MeshReference reference{LoadU32(bytes.data()), LoadU32(bytes.data() + 4),
                                  LoadU16(bytes.data() + 16), LoadU16(bytes.data() + 18)};
    LeafDecoding result;
    result.lines.push_back("mesh reference: size " + std::to_string(reference.recordSize) +
                           ", library entry " + Hex(reference.libraryId) + ", meshes " +
                           std::to_string(reference.firstMesh) + " + " +
                           std::to_string(reference.meshCount));
    if (bytes.size() != MeshReferenceSize) {
        result.problems.push_back("the mesh reference is " + Plural(bytes.size(), "byte", "bytes") +
                                  ", expected 60");
    }
    if (reference.recordSize != bytes.size()) {
        result.problems.push_back("the record says it is " + std::to_string(reference.recordSize) +
                                  " bytes long, but it is " + std::to_string(bytes.size()));
    }
    JsonWriter json;
    json.BeginObject().Key("kind").String("mesh reference");
    json.Key("recordSize").Number(reference.recordSize);
    json.Key("libraryId").Number(reference.libraryId);
    json.Key("firstMesh").Number(reference.firstMesh);
    json.Key("meshCount").Number(reference.meshCount);
    json.EndObject();
    result.json = json.Text();
    return result;
}

LeafDecoding DecodeText(const Bytes& bytes) {
    LeafDecoding result;
    const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    const std::string text(bytes.begin(), end);
    result.lines.push_back("\"" + Printable(text) + "\"");
    if (end == bytes.end()) {
        result.problems.push_back("the text does not end in a 0 byte");
    } else if (end + 1 != bytes.end()) {
        result.problems.push_back(
            "the text has " +
            Plural(static_cast<std::uint64_t>(bytes.end() - end - 1), "byte", "bytes") +
            " after its 0 byte");
    }
    JsonWriter json;
    json.BeginObject().Key("kind").String("text").Key("text").String(text).EndObject();
    result.json = json.Text();
    return result;
}

LeafDecoding DecodeReals(const Bytes& bytes, std::size_t rows, std::size_t perRow) {
    const std::size_t count = rows * perRow;
    if (bytes.size() != 4 * count) {
        LeafDecoding result = DecodeUnknown(bytes);
        result.problems.push_back(Plural(bytes.size(), "byte", "bytes") + ", expected " +
                                  std::to_string(4 * count) + " (" + std::to_string(count) +
                                  " reals)");
        return result;
    }
    LeafDecoding result;
    JsonWriter json;
    json.BeginObject().Key("kind").String("reals").Key("rows").BeginArray();
    bool finite = true;
    for (std::size_t row = 0; row < rows; ++row) {
        std::string line;
        json.BeginArray();
        for (std::size_t column = 0; column < perRow; ++column) {
            const float value = LoadF32(bytes.data() + 4 * (row * perRow + column));
            finite = finite && std::isfinite(value);
            line += (column ? " " : "") + FormatReal(value);
            json.Real(value);
        }
        json.EndArray();
        result.lines.push_back(line);
    }
    json.EndArray().EndObject();
    result.json = json.Text();
    if (!finite) {
        result.problems.push_back("holds a value that is not a finite number");
    }
    return result;
}

LeafDecoding DecodeLimit(const Bytes& bytes) {
    if (bytes.size() != 4 && bytes.size() != 8) {
        LeafDecoding result = DecodeUnknown(bytes);
        result.problems.push_back(Plural(bytes.size(), "byte", "bytes") +
                                  ", expected one real (4 bytes, or 8 with padding)");
        return result;
    }
    LeafDecoding result = DecodeReals(Bytes(bytes.begin(), bytes.begin() + 4), 1, 1);
    if (bytes.size() == 8 && LoadU32(bytes.data() + 4) != 0) {
        result.problems.push_back("the padding after the real is not zero");
    }
    return result;
}

LeafDecoding DecodeUnknown(const Bytes& bytes) {
    LeafDecoding result;
    result.lines.push_back(bytes.empty() ? "no data" : HexPreview(bytes));
    JsonWriter json;
    json.BeginObject().Key("kind").String("bytes").Key("preview").String(HexPreview(bytes));
    json.EndObject();
    result.json = json.Text();
    return result;
}

LeafDecoding DecodeLeaf(std::string_view name, const Bytes& bytes) {
    if (name == "VMeshData") {
        return DecodeMeshDataStream(bytes);
    }
    if (name == "VMeshRef") {
        return DecodeMeshReferenceLeaf(bytes);
    }
    if (name == "File name" || name == "Object name") {
        return DecodeText(bytes);
    }
    if (name == "Position" || name == "Axis") {
        return DecodeReals(bytes, 1, 3);
    }
    if (name == "Orientation") {
        return DecodeReals(bytes, 3, 3);
    }
    if (name == "Max" || name == "Min") {
        return DecodeLimit(bytes);
    }
    return DecodeUnknown(bytes);
}

}  // namespace cmp
