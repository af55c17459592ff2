#include "tools/cmpinfo/read/read.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <unordered_map>

#include "core/text.h"
#include "mesh/mesh.h"
#include "tree/tree.h"
#include "utf/utf.h"

namespace cmp {

namespace {

Error Malformed(std::string message) {
    return Error{ErrorCode::MalformedTreeFile, std::move(message), std::nullopt};
}

std::string Quoted(const std::string& name) {
    std::string quoted = "\"";
    quoted += TerminalText(CutName(name));
    quoted += '"';
    return quoted;
}

// Every mesh of one entry's stream, appended to `out` as meshes of entry `entryIndex`,
// with every bound checked here again.
Status ReadStream(const LibraryEntry& entry, std::size_t entryIndex, std::vector<StoredMesh>& out) {
    const std::span<const std::uint8_t> bytes =
        entry.meshData ? entry.meshData->bytes : std::span<const std::uint8_t>();
    const Result<DecodedMeshStream> decoded = DecodeMeshStream(bytes);
    if (!decoded) {
        return Malformed("the mesh data of " + Quoted(*entry.name) + ": " + decoded.message());
    }
    const DecodedMeshStream& stream = decoded.value();
    for (std::size_t m = 0; m < stream.meshes.size(); ++m) {
        const MeshStreamMesh& record = stream.meshes[m];
        StoredMesh& mesh = out.emplace_back();
        mesh.entry = entryIndex;
        mesh.indexInEntry = static_cast<std::uint16_t>(m);
        mesh.material = record.material;
        mesh.indices.reserve(record.indexCount);
        for (std::size_t i = 0; i < record.indexCount; ++i) {
            mesh.indices.push_back(MeshStreamIndex(bytes, stream, m, i));
        }
        mesh.vertices.resize(record.VertexCount());
        for (std::size_t v = 0; v < record.VertexCount(); ++v) {
            const MeshStreamVertex stored = MeshStreamVertexAt(bytes, stream, m, v);
            StoredVertex& vertex = mesh.vertices[v];
            for (std::size_t i = 0; i < 3; ++i) {
                vertex.position[i] = stored.position[i];
                vertex.normal[i] = stored.normal[i];
            }
            vertex.uv = {stored.u, stored.v};
        }
    }
    return {};
}

// A reference must use its whole stream, as the checks ask (its count is the stream's,
// and the meshes it names lie inside it).
Status CheckUsesWholeStream(const MeshReference& reference, const LibraryEntry& entry) {
    // Called only for an entry whose stream was read whole, so its header is there.
    const std::size_t meshCount = ReadMeshStreamHeader(entry.meshData->bytes)->meshCount;
    const std::size_t end = std::size_t{reference.firstMesh} + reference.meshCount;
    if (end > meshCount) {
        return Malformed("a mesh reference names meshes " + std::to_string(reference.firstMesh) +
                         " to " + std::to_string(end) + " of " + Quoted(*entry.name) +
                         ", which holds " + std::to_string(meshCount));
    }
    if (reference.firstMesh != 0 || end != meshCount) {
        return Malformed("a mesh reference names meshes " + std::to_string(reference.firstMesh) +
                         " to " + std::to_string(end) + " of " + Quoted(*entry.name) +
                         ", which holds " + std::to_string(meshCount) + ": not all of them");
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

Result<StoredHardpoint> ReadHardpoint(const NodeTree& tree, NodeHandle node, HardpointKind kind,
                                      NameShower& names) {
    StoredHardpoint hardpoint;
    hardpoint.name = names.Show(tree.GetName(node));
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

// The bytes a tree file needs besides its names: a record per node and the leaves' data.
std::uint64_t SizeWithoutNames(const NodeTree& tree) {
    std::uint64_t size = 0;
    for (NodeHandle node : tree.Registry()) {
        const Payload* payload = tree.GetPayload(node);
        size += UtfRecordSize + (payload ? payload->bytes.size() : 0);
    }
    return size;
}

}  // namespace

Result<StoredModel> ReadStoredModel(const NodeTree& tree) {
    StoredModel model;
    NameShower names(SizeWithoutNames(tree));
    const std::unordered_multimap<std::uint32_t, LibraryEntry> library = FindLibraryEntries(tree);
    // Each entry's place in model.entries, by the entry a reference finds.
    std::unordered_map<const LibraryEntry*, std::size_t> entriesRead;
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
            const auto found = library.find(reference->libraryId);
            if (found == library.end()) {
                return Malformed("a mesh reference names library entry " +
                                 HexWord(reference->libraryId) + ", which the file lacks");
            }
            const LibraryEntry& entry = found->second;
            const auto [read, first] = entriesRead.emplace(&entry, model.entries.size());
            if (first) {
                model.entries.push_back(names.Show(*entry.name));
                if (Status streamRead = ReadStream(entry, read->second, model.meshes);
                    !streamRead) {
                    return streamRead.error();
                }
            }
            if (Status whole = CheckUsesWholeStream(*reference, entry); !whole) {
                return whole.error();
            }
            model.references.push_back({read->second});
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
                    Result<StoredHardpoint> hardpoint = ReadHardpoint(tree, point, kind, names);
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
