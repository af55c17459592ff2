#include "tools/cmpinfo/exported_model.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "core/text.h"
#include "mesh/mesh_data_stream.h"
#include "tools/cmpinfo/inspect.h"
#include "tools/cmpinfo/leaf_text.h"
#include "tree/mesh_reference.h"

namespace cmp {

namespace {

Error Malformed(std::string message) {
    return Error{ErrorCode::MalformedTreeFile, std::move(message), std::nullopt};
}

std::string Quoted(const std::string& name) {
    std::string quoted = "\"";
    quoted += Printable(CutName(name));
    quoted += '"';
    return quoted;
}

// Meshes [first, first + count) of one stream, with every bound checked here again.
Status ReadMeshes(const LibraryEntry& entry, std::uint16_t first, std::uint16_t count,
                  std::vector<StoredMesh>& out) {
    const std::span<const std::uint8_t> bytes =
        entry.meshData ? entry.meshData->bytes : std::span<const std::uint8_t>();
    if (bytes.size() < StreamHeaderSize) {
        return Malformed("the mesh data of " + Quoted(*entry.name) + " has no stream header");
    }
    const std::size_t meshCount = LoadU16(bytes.data() + 8);
    const std::size_t indexCount = LoadU16(bytes.data() + 10);
    const std::size_t vertexCount = LoadU16(bytes.data() + 14);
    const std::size_t indicesAt = StreamHeaderSize + StreamMeshHeaderSize * meshCount;
    const std::size_t verticesAt = indicesAt + StreamIndexSize * indexCount;
    if (LoadU16(bytes.data() + 12) != StreamVertexFormat ||
        bytes.size() != verticesAt + StreamVertexSize * vertexCount) {
        return Malformed("the mesh data of " + Quoted(*entry.name) +
                         " is not a stream of the length its counts call for");
    }
    if (std::size_t{first} + count > meshCount) {
        return Malformed("a mesh reference names meshes " + std::to_string(first) + " to " +
                         std::to_string(first + count) + " of " + Quoted(*entry.name) +
                         ", which holds " + std::to_string(meshCount));
    }
    // Index arrays follow one another in mesh order, as do the vertex arrays.
    std::size_t indexAt = indicesAt;
    std::size_t vertexAt = verticesAt;
    for (std::size_t m = 0; m < meshCount; ++m) {
        const std::uint8_t* header = bytes.data() + StreamHeaderSize + StreamMeshHeaderSize * m;
        const std::size_t meshIndices = LoadU16(header + 8);
        const std::size_t meshVertices =
            static_cast<std::uint16_t>(LoadU16(header + 6) - LoadU16(header + 4) + 1);
        const std::size_t indexEnd = indexAt + StreamIndexSize * meshIndices;
        const std::size_t vertexEnd = vertexAt + StreamVertexSize * meshVertices;
        if (indexEnd > verticesAt || vertexEnd > bytes.size()) {
            return Malformed("mesh " + std::to_string(m) + " of " + Quoted(*entry.name) +
                             " reaches past the end of its stream");
        }
        if (m >= first && m < std::size_t{first} + count) {
            StoredMesh mesh;
            mesh.entry = *entry.name;
            mesh.indexInEntry = static_cast<std::uint16_t>(m);
            mesh.material = LoadU32(header);
            mesh.indices.reserve(meshIndices);
            for (std::size_t at = indexAt; at < indexEnd; at += StreamIndexSize) {
                const std::uint16_t index = LoadU16(bytes.data() + at);
                if (index >= meshVertices) {
                    return Malformed("mesh " + std::to_string(m) + " of " + Quoted(*entry.name) +
                                     " names vertex " + std::to_string(index) + " of " +
                                     std::to_string(meshVertices));
                }
                mesh.indices.push_back(index);
            }
            if (meshIndices % 3 != 0) {
                return Malformed("mesh " + std::to_string(m) + " of " + Quoted(*entry.name) +
                                 " has an index count that is not whole triangles");
            }
            mesh.vertices.resize(meshVertices);
            for (std::size_t v = 0; v < meshVertices; ++v) {
                const std::uint8_t* field = bytes.data() + vertexAt + StreamVertexSize * v;
                StoredVertex& vertex = mesh.vertices[v];
                for (std::size_t i = 0; i < 3; ++i) {
                    vertex.position[i] = LoadF32(field + 4 * i);
                    vertex.normal[i] = LoadF32(field + 12 + 4 * i);
                }
                vertex.uv = {LoadF32(field + 24), LoadF32(field + 28)};
            }
            out.push_back(std::move(mesh));
        }
        indexAt = indexEnd;
        vertexAt = vertexEnd;
    }
    return {};
}

// The first N reals of a leaf, which must hold at least that many.
template <std::size_t N>
Status ReadReals(const NodeTree& tree, NodeHandle leaf, std::array<float, N>& out) {
    const Payload* payload = tree.GetPayload(leaf);
    if (!payload || payload->bytes.size() < 4 * N) {
        return Malformed("the " + Quoted(tree.GetName(leaf)) + " leaf of hardpoint " +
                         Quoted(tree.GetName(tree.GetParent(leaf))) + " holds fewer than " +
                         std::to_string(N) + " reals");
    }
    for (std::size_t i = 0; i < N; ++i) {
        out[i] = LoadF32(payload->bytes.data() + 4 * i);
    }
    return {};
}

Result<StoredHardpoint> ReadHardpoint(const NodeTree& tree, NodeHandle node, HardpointKind kind) {
    StoredHardpoint hardpoint;
    hardpoint.name = tree.GetName(node);
    hardpoint.kind = kind;
    bool hasPosition = false;
    for (NodeHandle leaf = tree.GetFirstChild(node); leaf; leaf = tree.GetNextSibling(leaf)) {
        const std::string& name = tree.GetName(leaf);
        Status read;
        std::array<float, 1> min{hardpoint.min};
        std::array<float, 1> max{hardpoint.max};
        if (name == "Position") {
            read = ReadReals(tree, leaf, hardpoint.position);
            hasPosition = true;
        } else if (name == "Orientation") {
            read = ReadReals(tree, leaf, hardpoint.orientation);
        } else if (name == "Axis") {
            read = ReadReals(tree, leaf, hardpoint.axis);
        } else if (name == "Min") {
            read = ReadReals(tree, leaf, min);
        } else if (name == "Max") {
            read = ReadReals(tree, leaf, max);
        }
        if (!read) {
            return read.error();
        }
        hardpoint.min = min[0];
        hardpoint.max = max[0];
    }
    if (!hasPosition) {
        return Malformed("hardpoint " + Quoted(hardpoint.name) + " has no \"Position\"");
    }
    return hardpoint;
}

}  // namespace

Result<StoredModel> ReadStoredModel(const NodeTree& tree) {
    StoredModel model;
    const std::unordered_multimap<std::uint32_t, LibraryEntry> library = FindLibraryEntries(tree);
    for (NodeHandle node : tree.Registry()) {
        const std::string& name = tree.GetName(node);
        if (name == "VMeshRef") {
            const Payload* payload = tree.GetPayload(node);
            const std::optional<MeshReference> reference =
                payload ? DecodeMeshReference(Bytes(payload->bytes.begin(), payload->bytes.end()))
                        : std::nullopt;
            if (!reference) {
                return Malformed("a \"VMeshRef\" leaf is shorter than a mesh reference");
            }
            const auto entry = library.find(reference->libraryId);
            if (entry == library.end()) {
                return Malformed("a mesh reference names library entry " +
                                 HexWord(reference->libraryId) + ", which the file lacks");
            }
            if (Status read = ReadMeshes(entry->second, reference->firstMesh, reference->meshCount,
                                         model.meshes);
                !read) {
                return read.error();
            }
        } else if (name == "Hardpoints") {
            for (NodeHandle group = tree.GetFirstChild(node); group;
                 group = tree.GetNextSibling(group)) {
                const std::string& kindName = tree.GetName(group);
                if (kindName != "Fixed" && kindName != "Revolute") {
                    continue;
                }
                const HardpointKind kind =
                    kindName == "Fixed" ? HardpointKind::Fixed : HardpointKind::Revolute;
                for (NodeHandle point = tree.GetFirstChild(group); point;
                     point = tree.GetNextSibling(point)) {
                    Result<StoredHardpoint> hardpoint = ReadHardpoint(tree, point, kind);
                    if (!hardpoint) {
                        return hardpoint.error();
                    }
                    model.hardpoints.push_back(std::move(hardpoint.value()));
                }
            }
        }
    }
    return model;
}

}  // namespace cmp
