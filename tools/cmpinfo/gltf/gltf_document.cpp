#include "tools/cmpinfo/gltf/gltf.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <map>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/text.h"
#include "mesh/mesh.h"
#include "tools/cmpinfo/read/read.h"

namespace cmp {

namespace {

using Json = nlohmann::json;

// The glTF enumerations this document uses.
constexpr int ArrayBuffer = 34962;
constexpr int ElementArrayBuffer = 34963;
constexpr int ModeTriangles = 4;
constexpr int ModePoints = 0;
constexpr int FloatComponents = 5126;
constexpr int UnsignedShortComponents = 5123;
// Where a stored vertex record keeps each attribute.
constexpr std::size_t NormalOffset = 12;
constexpr std::size_t UvOffset = 24;

// The binary container: its header, and each chunk's header, type and padding.
constexpr std::uint32_t GlbMagic = 0x46546C67;  // "glTF"
constexpr std::uint32_t GlbVersion = 2;
constexpr std::uint32_t JsonChunk = 0x4E4F534A;    // "JSON"
constexpr std::uint32_t BinaryChunk = 0x004E4942;  // "BIN\0"

Error Refused(std::string message) {
    return Error{ErrorCode::ModelRefused, std::move(message), std::nullopt};
}

std::string MeshName(const StoredModel& model, const StoredMesh& mesh) {
    return GetGltfName(model.entries[mesh.entry]) + " mesh " + std::to_string(mesh.indexInEntry);
}

template <std::size_t N>
bool AllFinite(const std::array<float, N>& values) {
    return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
}

std::optional<Error> FindNonFinite(const StoredModel& model) {
    for (const StoredMesh& mesh : model.meshes) {
        for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
            const StoredVertex& vertex = mesh.vertices[v];
            const char* field = !AllFinite(vertex.position) ? "position"
                                : !AllFinite(vertex.normal) ? "normal"
                                : !AllFinite(vertex.uv)     ? "texture coordinate"
                                                            : nullptr;
            if (field) {
                return Refused("mesh \"" + MeshName(model, mesh) + "\" vertex " +
                               std::to_string(v) + ": its " + field +
                               " is not a finite number, which a glTF file cannot hold");
            }
        }
    }
    for (const StoredHardpoint& hardpoint : model.hardpoints) {
        const std::array<float, 2> limits{hardpoint.min, hardpoint.max};
        if (!AllFinite(hardpoint.orientation) || !AllFinite(hardpoint.position) ||
            !AllFinite(hardpoint.axis) || !AllFinite(limits)) {
            return Refused("hardpoint \"" + GetGltfName(hardpoint.name) +
                           "\": a stored value is not a finite number, which a glTF file "
                           "cannot hold");
        }
    }
    return std::nullopt;
}

// The file's bytes as a list of blocks, so that a document of tens of megabytes grows
// without ever being copied whole into a larger block.
class Pieces {
  public:
    void Append(std::string_view text) {
        Append(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    }
    void Append(const std::uint8_t* data, std::size_t size) {
        while (size > 0) {
            if (blocks_.empty() || blocks_.back().size() == BlockSize) {
                blocks_.emplace_back().reserve(BlockSize);
            }
            Bytes& block = blocks_.back();
            const std::size_t taken = std::min(size, BlockSize - block.size());
            block.insert(block.end(), data, data + taken);
            data += taken;
            size -= taken;
        }
    }
    void AppendJson(const Json& value) { Append(value.dump()); }
    std::size_t GetSize() const {
        std::size_t size = 0;
        for (const Bytes& block : blocks_) {
            size += block.size();
        }
        return size;
    }
    std::vector<Bytes> Take() { return std::move(blocks_); }

  private:
    static constexpr std::size_t BlockSize = 256 * 1024;
    std::vector<Bytes> blocks_;
};

// Appends `[`, then each item `write` appends with a comma between, then `]`, as the
// member `name` (which leads with a comma: the document has members before). Nothing
// when there are no items: glTF's arrays may not be empty.
template <class Write>
void AppendArray(Pieces& out, const char* name, std::size_t count, Write write) {
    if (count == 0) {
        return;
    }
    out.Append(std::string(",\"") + name + "\":[");
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            out.Append(",");
        }
        write(i);
    }
    out.Append("]");
}

// Where one mesh lies in the buffer and which accessors show it.
struct PlacedMesh {
    const StoredMesh* stored = nullptr;
    std::size_t firstIndex = 0;   // in its entry's index view
    std::size_t firstVertex = 0;  // in its entry's vertex view
    std::array<float, 3> min{};
    std::array<float, 3> max{};
    bool hasNormals = true;
    int firstAccessor = 0;  // POSITION, then NORMAL when it has them, TEXCOORD_0, indices
    int material = 0;
};

// One library entry's glTF mesh: its meshes that have vertices, and its two views.
struct PlacedEntry {
    std::vector<PlacedMesh> meshes;
    std::size_t indexViewOffset = 0;
    std::size_t indexCount = 0;
    std::size_t vertexViewOffset = 0;
    std::size_t vertexCount = 0;
    int indexView = -1;
    int vertexView = -1;
    int gltfMesh = -1;  // none when no mesh has vertices
};

// The whole plan of the document: buffer, views, accessors, materials, meshes. The
// buffer holds every entry's indices, then its vertex records with their normals made
// unit, each view starting on a four-byte boundary.
struct Layout {
    std::vector<PlacedEntry> entries;
    Bytes buffer;
    std::vector<std::uint32_t> materials;  // identifiers, in the order first used
    int viewCount = 0;
    int accessorCount = 0;
    int meshCount = 0;
    GltfAdjustments adjustments;
};

void AppendVertex(Bytes& buffer, const StoredVertex& vertex, const std::array<float, 3>& normal) {
    for (float value : vertex.position) {
        AppendF32(buffer, value);
    }
    for (float value : normal) {
        AppendF32(buffer, value);
    }
    AppendF32(buffer, vertex.uv[0]);
    AppendF32(buffer, vertex.uv[1]);
}

// The mesh's vertex records into the buffer, its normals made unit; its bounds.
void PlaceVertices(const StoredModel& model, PlacedMesh& placed, Layout& layout) {
    const StoredMesh& mesh = *placed.stored;
    placed.min = placed.max = mesh.vertices[0].position;
    std::size_t madeUnit = 0;
    for (const StoredVertex& vertex : mesh.vertices) {
        std::array<float, 3> normal = vertex.normal;
        const NormalFix fix = MakeUnitNormal(normal);
        madeUnit += fix == NormalFix::MadeUnit;
        placed.hasNormals = placed.hasNormals && fix != NormalFix::Zero;
        AppendVertex(layout.buffer, vertex, normal);
        for (std::size_t i = 0; i < 3; ++i) {
            placed.min[i] = std::min(placed.min[i], vertex.position[i]);
            placed.max[i] = std::max(placed.max[i], vertex.position[i]);
        }
    }
    GltfAdjustments& adjustments = layout.adjustments;
    if (!placed.hasNormals && adjustments.meshesWithoutNormals++ == 0) {
        adjustments.firstMeshWithoutNormals = MeshName(model, mesh);
    }
    // A mesh without normals in the document has none made unit either.
    adjustments.normalsMadeUnit += placed.hasNormals ? madeUnit : 0;
}

std::size_t ByteSizeOf(const StoredModel& model) {
    std::size_t size = 0;
    for (const StoredMesh& mesh : model.meshes) {
        size += StreamIndexSize * mesh.indices.size() + StreamVertexSize * mesh.vertices.size() + 2;
    }
    return size;
}

Layout PlanDocument(const StoredModel& model) {
    Layout layout;
    layout.entries.resize(model.entries.size());
    for (const StoredMesh& mesh : model.meshes) {
        assert(mesh.entry < model.entries.size());
        if (!mesh.vertices.empty()) {
            layout.entries[mesh.entry].meshes.push_back({&mesh});
        }
    }
    layout.buffer.reserve(ByteSizeOf(model));
    std::map<std::uint32_t, int> materials;
    for (PlacedEntry& entry : layout.entries) {
        if (entry.meshes.empty()) {
            continue;
        }
        entry.gltfMesh = layout.meshCount++;
        entry.indexViewOffset = layout.buffer.size();
        for (PlacedMesh& placed : entry.meshes) {
            placed.firstIndex = entry.indexCount;
            entry.indexCount += placed.stored->indices.size();
            for (std::uint16_t index : placed.stored->indices) {
                AppendU16(layout.buffer, index);
            }
        }
        layout.buffer.resize((layout.buffer.size() + 3) / 4 * 4, 0);
        entry.vertexViewOffset = layout.buffer.size();
        for (PlacedMesh& placed : entry.meshes) {
            placed.firstVertex = entry.vertexCount;
            entry.vertexCount += placed.stored->vertices.size();
            PlaceVertices(model, placed, layout);
        }
        entry.indexView = entry.indexCount > 0 ? layout.viewCount++ : -1;
        entry.vertexView = layout.viewCount++;
        for (PlacedMesh& placed : entry.meshes) {
            placed.firstAccessor = layout.accessorCount;
            layout.accessorCount += (placed.hasNormals ? 3 : 2) + !placed.stored->indices.empty();
            const auto [found, added] = materials.emplace(
                placed.stored->material, static_cast<int>(layout.materials.size()));
            if (added) {
                layout.materials.push_back(placed.stored->material);
            }
            placed.material = found->second;
        }
    }
    return layout;
}

Json Reals(const std::array<float, 3>& values) {
    return Json::array({double{values[0]}, double{values[1]}, double{values[2]}});
}

void AppendAccessors(Pieces& out, const PlacedEntry& entry, const PlacedMesh& placed) {
    const std::size_t vertexAt = StreamVertexSize * placed.firstVertex;
    const std::size_t count = placed.stored->vertices.size();
    const auto attribute = [&](std::size_t offset, const char* type) {
        return Json{{"bufferView", entry.vertexView},
                    {"byteOffset", vertexAt + offset},
                    {"componentType", FloatComponents},
                    {"count", count},
                    {"type", type}};
    };
    Json position = attribute(0, "VEC3");
    position["min"] = Reals(placed.min);
    position["max"] = Reals(placed.max);
    out.AppendJson(position);
    if (placed.hasNormals) {
        out.Append(",");
        out.AppendJson(attribute(NormalOffset, "VEC3"));
    }
    out.Append(",");
    out.AppendJson(attribute(UvOffset, "VEC2"));
    if (!placed.stored->indices.empty()) {
        out.Append(",");
        out.AppendJson({{"bufferView", entry.indexView},
                        {"byteOffset", StreamIndexSize * placed.firstIndex},
                        {"componentType", UnsignedShortComponents},
                        {"count", placed.stored->indices.size()},
                        {"type", "SCALAR"}});
    }
}

Json Primitive(const PlacedMesh& placed) {
    int accessor = placed.firstAccessor;
    Json attributes{{"POSITION", accessor++}};
    if (placed.hasNormals) {
        attributes["NORMAL"] = accessor++;
    }
    attributes["TEXCOORD_0"] = accessor++;
    Json primitive{{"attributes", std::move(attributes)},
                   {"material", placed.material},
                   {"extras", {{"mesh", placed.stored->indexInEntry}}}};
    if (placed.stored->indices.empty()) {
        primitive["mode"] = ModePoints;
    } else {
        primitive["mode"] = ModeTriangles;
        primitive["indices"] = accessor;
    }
    return primitive;
}

Json Material(std::uint32_t identifier) {
    const std::array<double, 4> colour = GetGltfBaseColour(identifier);
    return {{"name", GetGltfMaterialName(identifier)},
            {"pbrMetallicRoughness",
             {{"baseColorFactor", colour}, {"metallicFactor", 0.0}, {"roughnessFactor", 0.8}}}};
}

Json HardpointNode(const StoredHardpoint& hardpoint, GltfAdjustments& adjustments) {
    Json extras;
    if (hardpoint.kind == HardpointKind::Fixed) {
        extras["kind"] = "Fixed";
    } else {
        extras["kind"] = "Revolute";
        extras["axis"] = Reals(hardpoint.axis);
        extras["min"] = double{hardpoint.min};
        extras["max"] = double{hardpoint.max};
    }
    const GltfHardpointMatrix matrix = GetGltfHardpointMatrix(hardpoint);
    if (!matrix.keptAsStored) {
        extras["orientation"] = Json::array();
        for (float value : hardpoint.orientation) {
            extras["orientation"].push_back(double{value});
        }
        if (adjustments.orientationsReplaced++ == 0) {
            adjustments.firstOrientationReplaced = GetGltfName(hardpoint.name);
        }
    }
    Json node{{"name", GetGltfName(hardpoint.name)}, {"extras", std::move(extras)}};
    constexpr std::array<double, 16> Identity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    // The identity is glTF's default, which a file should leave out.
    if (matrix.matrix != Identity) {
        node["matrix"] = matrix.matrix;
    }
    return node;
}

void AppendNodes(Pieces& out, const StoredModel& model, const std::string& rootName,
                 Layout& layout) {
    std::vector<const StoredReference*> shown;
    for (const StoredReference& reference : model.references) {
        if (layout.entries[reference.entry].gltfMesh >= 0) {
            shown.push_back(&reference);
        }
    }
    const std::size_t children = shown.size() + model.hardpoints.size();
    AppendArray(out, "nodes", 1 + children, [&](std::size_t n) {
        if (n == 0) {
            const double scale = GetGltfRootScale();
            Json root{{"name", TerminalText(rootName)},
                      {"rotation", GltfRootRotation},
                      {"scale", {scale, scale, scale}}};
            if (children > 0) {
                Json& list = root["children"] = Json::array();
                for (std::size_t child = 1; child <= children; ++child) {
                    list.push_back(child);
                }
            }
            out.AppendJson(root);
        } else if (n <= shown.size()) {
            // Named after its entry, cut short: many references may show one entry.
            const std::size_t entry = shown[n - 1]->entry;
            out.AppendJson({{"name", GetGltfName(CutName(model.entries[entry]))},
                            {"mesh", layout.entries[entry].gltfMesh}});
        } else {
            out.AppendJson(
                HardpointNode(model.hardpoints[n - 1 - shown.size()], layout.adjustments));
        }
    });
}

void AppendMeshes(Pieces& out, const StoredModel& model, const Layout& layout) {
    std::vector<std::size_t> shown;
    for (std::size_t e = 0; e < layout.entries.size(); ++e) {
        if (layout.entries[e].gltfMesh >= 0) {
            shown.push_back(e);
        }
    }
    AppendArray(out, "meshes", shown.size(), [&](std::size_t m) {
        const PlacedEntry& entry = layout.entries[shown[m]];
        out.Append("{\"name\":");
        out.AppendJson(GetGltfName(model.entries[shown[m]]));
        out.Append(",\"primitives\":[");
        for (std::size_t p = 0; p < entry.meshes.size(); ++p) {
            out.Append(p > 0 ? "," : "");
            out.AppendJson(Primitive(entry.meshes[p]));
        }
        out.Append("]}");
    });
}

void AppendAccessorsOfAll(Pieces& out, const Layout& layout) {
    std::vector<std::pair<const PlacedEntry*, const PlacedMesh*>> meshes;
    for (const PlacedEntry& entry : layout.entries) {
        for (const PlacedMesh& placed : entry.meshes) {
            meshes.emplace_back(&entry, &placed);
        }
    }
    AppendArray(out, "accessors", meshes.size(),
                [&](std::size_t m) { AppendAccessors(out, *meshes[m].first, *meshes[m].second); });
}

void AppendViews(Pieces& out, const Layout& layout) {
    // Each entry's index view, when it has triangles, then its vertex view.
    std::vector<std::pair<const PlacedEntry*, bool>> views;
    for (const PlacedEntry& entry : layout.entries) {
        if (entry.indexView >= 0) {
            views.emplace_back(&entry, true);
        }
        if (entry.vertexView >= 0) {
            views.emplace_back(&entry, false);
        }
    }
    AppendArray(out, "bufferViews", views.size(), [&](std::size_t v) {
        const PlacedEntry& entry = *views[v].first;
        if (views[v].second) {
            out.AppendJson({{"buffer", 0},
                            {"byteOffset", entry.indexViewOffset},
                            {"byteLength", StreamIndexSize * entry.indexCount},
                            {"target", ElementArrayBuffer}});
        } else {
            out.AppendJson({{"buffer", 0},
                            {"byteOffset", entry.vertexViewOffset},
                            {"byteLength", StreamVertexSize * entry.vertexCount},
                            {"byteStride", StreamVertexSize},
                            {"target", ArrayBuffer}});
        }
    });
}

void AppendBase64(Pieces& out, const Bytes& bytes) {
    static constexpr char Digits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t at = 0; at < bytes.size(); at += 3) {
        const std::size_t left = std::min<std::size_t>(3, bytes.size() - at);
        std::uint32_t group = std::uint32_t{bytes[at]} << 16;
        group |= left > 1 ? std::uint32_t{bytes[at + 1]} << 8 : 0;
        group |= left > 2 ? std::uint32_t{bytes[at + 2]} : 0;
        for (std::size_t digit = 0; digit < 4; ++digit) {
            text += digit <= left ? Digits[(group >> (18 - 6 * digit)) & 0x3F] : '=';
        }
        if (text.size() >= 64 * 1024) {
            out.Append(text);
            text.clear();
        }
    }
    out.Append(text);
}

void AppendBuffers(Pieces& out, const Bytes& buffer, GltfForm form) {
    AppendArray(out, "buffers", buffer.empty() ? 0 : 1, [&](std::size_t) {
        out.Append("{\"byteLength\":" + std::to_string(buffer.size()));
        if (form == GltfForm::Text) {
            out.Append(",\"uri\":\"data:application/octet-stream;base64,");
            AppendBase64(out, buffer);
            out.Append("\"");
        }
        out.Append("}");
    });
}

Bytes ChunkHeader(std::size_t length, std::uint32_t type) {
    Bytes header;
    AppendU32(header, static_cast<std::uint32_t>(length));
    AppendU32(header, type);
    return header;
}

}  // namespace

Result<GltfFile> MakeGltfFile(const StoredModel& model, const std::string& rootName,
                              GltfForm form) {
    if (std::optional<Error> refusal = FindNonFinite(model)) {
        return *refusal;
    }
    Layout layout = PlanDocument(model);

    Pieces json;
    json.Append(R"({"asset":{"generator":"cmpinfo","version":"2.0"},"scene":0,)"
                R"("scenes":[{"nodes":[0]}])");
    AppendNodes(json, model, rootName, layout);
    AppendMeshes(json, model, layout);
    AppendArray(json, "materials", layout.materials.size(),
                [&](std::size_t m) { json.AppendJson(Material(layout.materials[m])); });
    AppendAccessorsOfAll(json, layout);
    AppendViews(json, layout);
    AppendBuffers(json, layout.buffer, form);
    json.Append("}");

    GltfFile file;
    file.adjustments = std::move(layout.adjustments);
    if (form == GltfForm::Text) {
        file.pieces = json.Take();
        return file;
    }
    // The binary container: its header, the JSON chunk padded with spaces to a four-byte
    // boundary, then the buffer, already a whole number of four-byte words.
    const std::size_t jsonLength = json.GetSize();
    const std::size_t jsonPadding = (4 - jsonLength % 4) % 4;
    json.Append(std::string(jsonPadding, ' '));
    const std::size_t binaryLength = layout.buffer.empty() ? 0 : 8 + layout.buffer.size();
    Bytes header;
    AppendU32(header, GlbMagic);
    AppendU32(header, GlbVersion);
    AppendU32(header, static_cast<std::uint32_t>(12 + 8 + jsonLength + jsonPadding + binaryLength));
    const Bytes jsonHeader = ChunkHeader(jsonLength + jsonPadding, JsonChunk);
    header.insert(header.end(), jsonHeader.begin(), jsonHeader.end());
    file.pieces.push_back(std::move(header));
    for (Bytes& block : json.Take()) {
        file.pieces.push_back(std::move(block));
    }
    if (!layout.buffer.empty()) {
        file.pieces.push_back(ChunkHeader(layout.buffer.size(), BinaryChunk));
        file.pieces.push_back(std::move(layout.buffer));
    }
    return file;
}

}  // namespace cmp
