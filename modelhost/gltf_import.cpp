#include "modelhost/gltf_import.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <new>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "core/terminal_text.h"
#include "modelhost/gltf_accessors.h"
#include "modelhost/gltf_document.h"
#include "modelhost/gltf_transform.h"
#include "standin/ztModelBuilder.h"

namespace cmp {

namespace {

// -- Names as Assimp keeps them

// Assimp keeps names in fixed strings of 1023 bytes and hands them out as C strings.
constexpr std::size_t LongestAssimpName = 1023;

std::string UpToFirstNul(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

// A node's or material's name: cut to 1023 bytes, then read up to its first NUL.
std::string AssimpName(std::string_view name) {
    return UpToFirstNul(name.substr(0, std::min(name.size(), LongestAssimpName)));
}

std::string NodeName(const tinygltf::Node& node, std::size_t index) {
    return AssimpName(node.name.empty() ? "nodes[" + std::to_string(index) + "]" : node.name);
}

// A primitive's mesh name. Assimp reads a mesh's name up to its first NUL, falls back on
// "meshes[i]", leaves a name too long for its string empty instead of cutting it, and
// numbers the primitives of a mesh that has several ("Hull-0", "Hull-1").
std::string PrimitiveName(const tinygltf::Mesh& mesh, std::size_t meshIndex,
                          std::size_t primitive) {
    std::string name = UpToFirstNul(mesh.name);
    if (name.empty()) {
        name = "meshes[" + std::to_string(meshIndex) + "]";
    }
    if (name.size() > LongestAssimpName) {
        name.clear();
    }
    if (mesh.primitives.size() > 1) {
        name += "-" + std::to_string(primitive);
    }
    return AssimpName(name);
}

// -- Primitives as Assimp turns them into meshes

enum class PrimitiveKind { Points, Lines, Triangles };

struct ImportedPrimitive {
    std::string name;  // Assimp's name of the mesh it makes
    int material = -1;
    PrimitiveKind kind = PrimitiveKind::Triangles;
    std::vector<Point3> positions;
    std::vector<std::array<float, 2>> texCoords;  // empty: none
    std::vector<std::array<std::uint32_t, 3>> triangles;
    std::uint32_t droppedFaces = 0;  // points or line segments
};

// Assimp's importer flips v; its scene check then clears what a coordinate of fewer
// components lacks (one component: v as well); the FlipUVs step flips v again. So v is
// 1 - (1 - v) in single precision, not always v, and a scalar coordinate has v = 1.
std::array<float, 2> AssimpTexCoord(const std::array<float, 3>& read, int components) {
    float v = 1 - read[1];
    if (components == 1) {
        v = 0;
    }
    return {read[0], 1.0f - v};
}

Status ReadTexCoords(const tinygltf::Model& model, const tinygltf::Primitive& primitive,
                     ImportedPrimitive& imported) {
    const auto found = primitive.attributes.find("TEXCOORD_0");
    if (found == primitive.attributes.end()) {
        return {};
    }
    Result<AccessorBytes> accessor = LocateAccessor(model, found->second);
    if (!accessor) {
        return accessor.error();
    }
    // Assimp leaves out coordinates whose count is not the vertices'.
    if (accessor.value().count != imported.positions.size()) {
        return {};
    }
    Result<std::vector<std::array<float, 3>>> read =
        ReadAsFloatTriples(accessor.value(), found->second);
    if (!read) {
        return read.error();
    }
    imported.texCoords.reserve(read.value().size());
    for (const std::array<float, 3>& t : read.value()) {
        imported.texCoords.push_back(AssimpTexCoord(t, accessor.value().components));
    }
    return {};
}

// The corners of the primitive in file order: its indices, else 0, 1, 2, ...
Result<std::vector<std::uint32_t>> ReadCorners(const tinygltf::Model& model,
                                               const tinygltf::Primitive& primitive,
                                               std::size_t vertexCount) {
    std::vector<std::uint32_t> corners;
    if (primitive.indices < 0) {
        corners.resize(vertexCount);
        for (std::size_t i = 0; i < vertexCount; ++i) {
            corners[i] = static_cast<std::uint32_t>(i);
        }
        return corners;
    }
    Result<AccessorBytes> accessor = LocateAccessor(model, primitive.indices);
    if (!accessor) {
        return accessor.error();
    }
    Result<std::vector<std::uint32_t>> indices = ReadIndices(accessor.value(), primitive.indices);
    if (!indices) {
        return indices.error();
    }
    for (std::uint32_t index : indices.value()) {
        if (index >= vertexCount) {
            return Error{ErrorCode::ImportFailed,
                         "an index (" + std::to_string(index) + ") names a vertex of " +
                             std::to_string(vertexCount) + " that a primitive does not have"};
        }
    }
    return std::move(indices.value());
}

// Faces from corners, mode by mode as Assimp builds them: strips alternate their first two
// corners so that every triangle faces the same way; fans turn around the first corner.
Status BuildFaces(int mode, const std::vector<std::uint32_t>& c, ImportedPrimitive& imported) {
    const std::size_t count = c.size();
    const std::size_t fewest = mode == TINYGLTF_MODE_POINTS       ? 1
                               : mode <= TINYGLTF_MODE_LINE_STRIP ? 2
                                                                  : 3;
    if (count < fewest) {
        return Error{ErrorCode::ImportFailed, "a primitive has too few corners for one face"};
    }
    switch (mode) {
        case TINYGLTF_MODE_POINTS:
            imported.kind = PrimitiveKind::Points;
            imported.droppedFaces = static_cast<std::uint32_t>(count);
            break;
        case TINYGLTF_MODE_LINE:
            imported.kind = PrimitiveKind::Lines;
            imported.droppedFaces = static_cast<std::uint32_t>(count / 2);
            break;
        case TINYGLTF_MODE_LINE_LOOP:
            imported.kind = PrimitiveKind::Lines;
            imported.droppedFaces = static_cast<std::uint32_t>(count);
            break;
        case TINYGLTF_MODE_LINE_STRIP:
            imported.kind = PrimitiveKind::Lines;
            imported.droppedFaces = static_cast<std::uint32_t>(count - 1);
            break;
        case TINYGLTF_MODE_TRIANGLES:
            // Corners past the last whole triangle are left out.
            for (std::size_t i = 0; i + 3 <= count; i += 3) {
                imported.triangles.push_back({c[i], c[i + 1], c[i + 2]});
            }
            break;
        case TINYGLTF_MODE_TRIANGLE_STRIP:
            for (std::size_t i = 0; i + 2 < count; ++i) {
                if ((i + 1) % 2 == 0) {
                    imported.triangles.push_back({c[i + 1], c[i], c[i + 2]});
                } else {
                    imported.triangles.push_back({c[i], c[i + 1], c[i + 2]});
                }
            }
            break;
        case TINYGLTF_MODE_TRIANGLE_FAN:
            for (std::size_t i = 0; i + 2 < count; ++i) {
                imported.triangles.push_back({c[0], c[i + 1], c[i + 2]});
            }
            break;
        default:
            return Error{ErrorCode::ImportFailed,
                         "a primitive has the unknown mode " + std::to_string(mode)};
    }
    return {};
}

Result<ImportedPrimitive> ImportPrimitive(const tinygltf::Model& model, std::size_t meshIndex,
                                          std::size_t primitiveIndex) {
    const tinygltf::Mesh& mesh = model.meshes[meshIndex];
    const tinygltf::Primitive& primitive = mesh.primitives[primitiveIndex];
    ImportedPrimitive imported;
    imported.name = PrimitiveName(mesh, meshIndex, primitiveIndex);
    const std::string where = "mesh " + std::to_string(meshIndex) + ", primitive " +
                              std::to_string(primitiveIndex) + ": ";
    const auto fail = [&](const Error& error) {
        return Error{ErrorCode::ImportFailed, where + error.message};
    };
    if (primitive.material >= 0 &&
        static_cast<std::size_t>(primitive.material) >= model.materials.size()) {
        return fail({ErrorCode::ImportFailed, "its material is not in the file"});
    }
    imported.material = primitive.material;
    const auto position = primitive.attributes.find("POSITION");
    if (position == primitive.attributes.end()) {
        return fail({ErrorCode::ImportFailed, "it has no POSITION"});
    }
    Result<AccessorBytes> accessor = LocateAccessor(model, position->second);
    if (!accessor) {
        return fail(accessor.error());
    }
    Result<std::vector<std::array<float, 3>>> positions =
        ReadAsFloatTriples(accessor.value(), position->second);
    if (!positions) {
        return fail(positions.error());
    }
    imported.positions.reserve(positions.value().size());
    for (const std::array<float, 3>& p : positions.value()) {
        imported.positions.push_back({p[0], p[1], p[2]});
    }
    if (Status read = ReadTexCoords(model, primitive, imported); !read) {
        return fail(read.error());
    }
    Result<std::vector<std::uint32_t>> corners =
        ReadCorners(model, primitive, imported.positions.size());
    if (!corners) {
        return fail(corners.error());
    }
    if (Status built = BuildFaces(primitive.mode, corners.value(), imported); !built) {
        return fail(built.error());
    }
    return imported;
}

// -- The scene

// A node in the order of the walk, with its node-to-scene transform.
struct PlacedNode {
    int node;  // -1: the root Assimp adds above several root nodes
    Transform4 transform;
    bool isIdentity;
    int namingNode;  // index into SceneImporter::namings_, or -1
};

// A model no export could take, refused before it fills the memory: a mesh used by many
// nodes multiplies the file's data.
constexpr std::size_t MostModelElements = std::size_t{1} << 24;

class SceneImporter {
  public:
    // `failure` begins every refusal ("cannot import '<path>': ").
    SceneImporter(const GltfDocument& document, ztModel host, const std::string& path,
                  std::string failure)
        : model_(document.model),
          bufferFiles_(document.bufferFiles),
          host_(host),
          path_(path),
          fileName_(std::filesystem::path(path).filename().string()),
          failure_(std::move(failure)) {}

    Result<ImportSummary> Run() {
        if (Status checked = CheckNodeTrees(); !checked) {
            return checked.error();
        }
        Result<std::vector<int>> roots = SceneRoots();
        if (!roots) {
            return roots.error();
        }
        const std::vector<PlacedNode> placed = PlaceNodes(roots.value());
        if (Status imported = ImportMeshes(placed); !imported) {
            return imported.error();
        }
        const Retrieval retrieval = Retrieve(roots.value());
        AddMaterials(retrieval.materialOrder);
        summary_.filesRead.push_back(path_);
        for (int buffer : retrieval.bufferOrder) {
            const std::string& file = bufferFiles_[static_cast<std::size_t>(buffer)];
            if (!file.empty() && std::find(summary_.filesRead.begin(), summary_.filesRead.end(),
                                           file) == summary_.filesRead.end()) {
                summary_.filesRead.push_back(file);
            }
        }
        for (const PlacedNode& node : placed) {
            if (Status added = AddMeshInstances(node); !added) {
                return added.error();
            }
        }
        return summary_;
    }

  private:
    Error Refusal(const std::string& reason) const {
        return Error{ErrorCode::ImportFailed, failure_ + reason};
    }

    const std::vector<int>& Children(int node) const {
        return model_.nodes[static_cast<std::size_t>(node)].children;
    }

    // glTF nodes form trees: every node has one parent at most and none is its own
    // ancestor. The walks below rely on it to end, and a node reached twice would be
    // imported twice.
    Status CheckNodeTrees() {
        const std::size_t nodeCount = model_.nodes.size();
        parents_.assign(nodeCount, -1);
        for (std::size_t n = 0; n < nodeCount; ++n) {
            const tinygltf::Node& node = model_.nodes[n];
            if (node.mesh >= 0 && static_cast<std::size_t>(node.mesh) >= model_.meshes.size()) {
                return Refusal("node " + std::to_string(n) + " has a mesh the file does not have");
            }
            for (int child : node.children) {
                if (child < 0 || static_cast<std::size_t>(child) >= nodeCount) {
                    return Refusal("node " + std::to_string(n) +
                                   " has a child the file does not have");
                }
                if (parents_[static_cast<std::size_t>(child)] != -1) {
                    return Refusal("node " + std::to_string(child) +
                                   " is the child of two nodes; glTF nodes form trees");
                }
                parents_[static_cast<std::size_t>(child)] = static_cast<int>(n);
            }
        }
        // Every node below a node without parent is in a tree; the others are in cycles.
        std::vector<bool> inTree(nodeCount, false);
        std::vector<int> pending;
        for (std::size_t n = 0; n < nodeCount; ++n) {
            if (parents_[n] == -1) {
                pending.push_back(static_cast<int>(n));
            }
        }
        while (!pending.empty()) {
            const int node = pending.back();
            pending.pop_back();
            inTree[static_cast<std::size_t>(node)] = true;
            pending.insert(pending.end(), Children(node).begin(), Children(node).end());
        }
        const auto cyclic = std::find(inTree.begin(), inTree.end(), false);
        if (cyclic != inTree.end()) {
            return Refusal("node " + std::to_string(cyclic - inTree.begin()) +
                           " is its own ancestor; glTF nodes form trees");
        }
        return {};
    }

    // Assimp loads the scene named by "scene", else the first.
    Result<std::vector<int>> SceneRoots() const {
        const std::size_t scene =
            model_.defaultScene >= 0 ? static_cast<std::size_t>(model_.defaultScene) : 0;
        if (scene >= model_.scenes.size()) {
            return Refusal("it has no scene");
        }
        const std::vector<int>& roots = model_.scenes[scene].nodes;
        std::vector<bool> listed(model_.nodes.size(), false);
        for (int root : roots) {
            if (root < 0 || static_cast<std::size_t>(root) >= model_.nodes.size()) {
                return Refusal("its scene has a node the file does not have");
            }
            if (parents_[static_cast<std::size_t>(root)] != -1 ||
                listed[static_cast<std::size_t>(root)]) {
                return Refusal("node " + std::to_string(root) +
                               " is reached twice from the scene; glTF nodes form trees");
            }
            listed[static_cast<std::size_t>(root)] = true;
        }
        return roots;
    }

    std::size_t PrimitiveCount(int node) const {
        const int mesh = model_.nodes[static_cast<std::size_t>(node)].mesh;
        return mesh < 0 ? 0 : model_.meshes[static_cast<std::size_t>(mesh)].primitives.size();
    }

    Transform4 LocalTransform(int node) const {
        const tinygltf::Node& n = model_.nodes[static_cast<std::size_t>(node)];
        if (!n.matrix.empty()) {
            std::array<float, 16> columns{};
            std::transform(n.matrix.begin(), n.matrix.end(), columns.begin(),
                           [](double v) { return static_cast<float>(v); });
            return MatrixTransform(columns);
        }
        float translation[3], rotation[4], scale[3];
        std::transform(n.translation.begin(), n.translation.end(), translation,
                       [](double v) { return static_cast<float>(v); });
        std::transform(n.rotation.begin(), n.rotation.end(), rotation,
                       [](double v) { return static_cast<float>(v); });
        std::transform(n.scale.begin(), n.scale.end(), scale,
                       [](double v) { return static_cast<float>(v); });
        return TrsTransform(n.translation.empty() ? nullptr : translation,
                            n.rotation.empty() ? nullptr : rotation,
                            n.scale.empty() ? nullptr : scale);
    }

    // The walk of ImportModel over the tree Assimp builds: a single root node is the
    // scene's root; several get a root "ROOT" above them.
    std::vector<PlacedNode> PlaceNodes(const std::vector<int>& roots) {
        std::vector<PlacedNode> placed;
        std::vector<PlacedNode> pending;
        if (roots.size() == 1) {
            const int root = roots.front();
            namings_.push_back({NodeName(model_.nodes[static_cast<std::size_t>(root)],
                                         static_cast<std::size_t>(root)),
                                true});
            skipRoot_ =
                IsAddedGltfRoot(namings_.back().first, PrimitiveCount(root), Children(root).size());
            const Transform4 transform = LocalTransform(root);
            const int naming = NamesMeshes(Naming(0), skipRoot_) ? 0 : -1;
            pending.push_back({root, transform, transform.IsExactIdentity(), naming});
        } else if (roots.size() > 1) {
            skipRoot_ = IsAddedGltfRoot("ROOT", 0, roots.size());
            namings_.push_back({"ROOT", true});
            const int naming = NamesMeshes(Naming(0), skipRoot_) ? 0 : -1;
            placed.push_back({-1, Transform4{}, true, naming});
            for (auto root = roots.rbegin(); root != roots.rend(); ++root) {
                pending.push_back(PlaceChild(placed.front(), *root));
            }
        }
        while (!pending.empty()) {
            const PlacedNode node = pending.back();
            pending.pop_back();
            placed.push_back(node);
            const std::vector<int>& children = Children(node.node);
            for (auto child = children.rbegin(); child != children.rend(); ++child) {
                pending.push_back(PlaceChild(node, *child));
            }
        }
        return placed;
    }

    PlacedNode PlaceChild(const PlacedNode& parent, int child) {
        const Transform4 local = LocalTransform(child);
        const bool localIdentity = local.IsExactIdentity();
        PlacedNode placed{child, localIdentity ? parent.transform : parent.transform * local,
                          parent.isIdentity && localIdentity, parent.namingNode};
        std::string name = NodeName(model_.nodes[static_cast<std::size_t>(child)],
                                    static_cast<std::size_t>(child));
        if (NamesMeshes({name, false}, skipRoot_)) {
            namings_.push_back({std::move(name), false});
            placed.namingNode = static_cast<int>(namings_.size() - 1);
        }
        return placed;
    }

    NamingNode Naming(int index) const {
        const auto& [name, isRoot] = namings_[static_cast<std::size_t>(index)];
        return {name, isRoot};
    }

    Status ImportMeshes(const std::vector<PlacedNode>& placed) {
        primitives_.resize(model_.meshes.size());
        std::vector<bool> imported(model_.meshes.size(), false);
        for (const PlacedNode& node : placed) {
            const int mesh =
                node.node < 0 ? -1 : model_.nodes[static_cast<std::size_t>(node.node)].mesh;
            if (mesh < 0 || imported[static_cast<std::size_t>(mesh)]) {
                continue;
            }
            imported[static_cast<std::size_t>(mesh)] = true;
            const std::size_t primitiveCount =
                model_.meshes[static_cast<std::size_t>(mesh)].primitives.size();
            for (std::size_t p = 0; p < primitiveCount; ++p) {
                Result<ImportedPrimitive> primitive =
                    ImportPrimitive(model_, static_cast<std::size_t>(mesh), p);
                if (!primitive) {
                    return Refusal(primitive.message());
                }
                primitives_[static_cast<std::size_t>(mesh)].push_back(std::move(primitive.value()));
            }
        }
        return {};
    }

    // -- Materials and buffers, in the order Assimp's reader comes upon them

    // What Assimp's reader has come upon, each in the order it came: it reads objects as
    // they are referred to, starting from the scene.
    struct Retrieval {
        std::vector<bool> nodes, meshes, materials, buffers;
        std::vector<int> materialOrder, bufferOrder;
    };

    void RetrieveAccessor(int accessor, Retrieval& r) const {
        if (accessor < 0 || static_cast<std::size_t>(accessor) >= model_.accessors.size()) {
            return;
        }
        RetrieveView(model_.accessors[static_cast<std::size_t>(accessor)].bufferView, r);
    }

    void RetrieveView(int view, Retrieval& r) const {
        if (view < 0 || static_cast<std::size_t>(view) >= model_.bufferViews.size()) {
            return;
        }
        const int buffer = model_.bufferViews[static_cast<std::size_t>(view)].buffer;
        if (buffer >= 0 && static_cast<std::size_t>(buffer) < r.buffers.size() &&
            !r.buffers[static_cast<std::size_t>(buffer)]) {
            r.buffers[static_cast<std::size_t>(buffer)] = true;
            r.bufferOrder.push_back(buffer);
        }
    }

    // A material's textures reach buffers through images stored in buffer views.
    void RetrieveTexture(int texture, Retrieval& r) const {
        if (texture < 0 || static_cast<std::size_t>(texture) >= model_.textures.size()) {
            return;
        }
        const int image = model_.textures[static_cast<std::size_t>(texture)].source;
        if (image >= 0 && static_cast<std::size_t>(image) < model_.images.size()) {
            RetrieveView(model_.images[static_cast<std::size_t>(image)].bufferView, r);
        }
    }

    void RetrieveMaterial(int material, Retrieval& r) const {
        if (material < 0 || static_cast<std::size_t>(material) >= r.materials.size() ||
            r.materials[static_cast<std::size_t>(material)]) {
            return;
        }
        r.materials[static_cast<std::size_t>(material)] = true;
        r.materialOrder.push_back(material);
        const tinygltf::Material& m = model_.materials[static_cast<std::size_t>(material)];
        RetrieveTexture(m.pbrMetallicRoughness.baseColorTexture.index, r);
        RetrieveTexture(m.pbrMetallicRoughness.metallicRoughnessTexture.index, r);
        RetrieveTexture(m.normalTexture.index, r);
        RetrieveTexture(m.occlusionTexture.index, r);
        RetrieveTexture(m.emissiveTexture.index, r);
    }

    void RetrieveMesh(int mesh, Retrieval& r) const {
        if (mesh < 0 || r.meshes[static_cast<std::size_t>(mesh)]) {
            return;
        }
        r.meshes[static_cast<std::size_t>(mesh)] = true;
        for (const tinygltf::Primitive& primitive :
             model_.meshes[static_cast<std::size_t>(mesh)].primitives) {
            RetrieveAccessor(primitive.indices, r);
            RetrieveMaterial(primitive.material, r);
            for (const auto& [semantic, accessor] : primitive.attributes) {
                RetrieveAccessor(accessor, r);
            }
            for (const std::map<std::string, int>& target : primitive.targets) {
                for (const auto& [semantic, accessor] : target) {
                    RetrieveAccessor(accessor, r);
                }
            }
        }
    }

    // Assimp reads a node's children, depth first, before the node's own mesh; a node
    // read once is not read again.
    void RetrieveTree(int start, Retrieval& r) const {
        if (start < 0 || static_cast<std::size_t>(start) >= r.nodes.size() ||
            r.nodes[static_cast<std::size_t>(start)]) {
            return;
        }
        std::vector<std::pair<int, std::size_t>> pending{{start, 0}};  // node, next child
        r.nodes[static_cast<std::size_t>(start)] = true;
        while (!pending.empty()) {
            auto& [node, next] = pending.back();
            const std::vector<int>& children = Children(node);
            if (next < children.size()) {
                const int child = children[next++];
                if (!r.nodes[static_cast<std::size_t>(child)]) {
                    r.nodes[static_cast<std::size_t>(child)] = true;
                    pending.push_back({child, 0});
                }
                continue;
            }
            RetrieveMesh(model_.nodes[static_cast<std::size_t>(node)].mesh, r);
            pending.pop_back();
        }
    }

    // The scene first, then the skins and the animations, as Assimp loads them.
    Retrieval Retrieve(const std::vector<int>& roots) const {
        Retrieval r;
        r.nodes.assign(model_.nodes.size(), false);
        r.meshes.assign(model_.meshes.size(), false);
        r.materials.assign(model_.materials.size(), false);
        r.buffers.assign(model_.buffers.size(), false);
        for (int root : roots) {
            RetrieveTree(root, r);
        }
        for (const tinygltf::Skin& skin : model_.skins) {
            RetrieveAccessor(skin.inverseBindMatrices, r);
            for (int joint : skin.joints) {
                RetrieveTree(joint, r);
            }
        }
        for (const tinygltf::Animation& animation : model_.animations) {
            for (const tinygltf::AnimationSampler& sampler : animation.samplers) {
                RetrieveAccessor(sampler.input, r);
                RetrieveAccessor(sampler.output, r);
            }
            for (const tinygltf::AnimationChannel& channel : animation.channels) {
                RetrieveTree(channel.target_node, r);
            }
        }
        return r;
    }

    // Named materials only; Assimp's "DefaultMaterial" counts as none.
    void AddMaterials(const std::vector<int>& materialOrder) {
        hostMaterials_.assign(model_.materials.size(), -1);
        for (int material : materialOrder) {
            const std::string& raw = model_.materials[static_cast<std::size_t>(material)].name;
            const std::string name = AssimpName(raw);
            if (!raw.empty() && name != "DefaultMaterial") {
                hostMaterials_[static_cast<std::size_t>(material)] =
                    ztBuild_AddMaterial(host_, name.c_str());
            }
        }
    }

    // -- Host meshes

    Status AddMeshInstances(const PlacedNode& placed) {
        if (placed.node < 0) {
            return {};
        }
        const int mesh = model_.nodes[static_cast<std::size_t>(placed.node)].mesh;
        if (mesh < 0) {
            return {};
        }
        const std::vector<ImportedPrimitive>& primitives =
            primitives_[static_cast<std::size_t>(mesh)];
        const bool nodeHasTriangles = std::any_of(
            primitives.begin(), primitives.end(),
            [](const ImportedPrimitive& p) { return p.kind == PrimitiveKind::Triangles; });
        for (const ImportedPrimitive& primitive : primitives) {
            std::optional<NamingNode> naming;
            if (placed.namingNode >= 0) {
                naming = Naming(placed.namingNode);
            }
            const std::string name =
                HostMeshName(naming ? &*naming : nullptr, primitive.name, fileName_, meshesAdded_);
            if (primitive.kind != PrimitiveKind::Triangles &&
                !(primitive.kind == PrimitiveKind::Points &&
                  KeepsPointsAsHardpoint(name, nodeHasTriangles))) {
                for (std::uint32_t f = 0; f < primitive.droppedFaces; ++f) {
                    CountDroppedFace(summary_, primitive.kind == PrimitiveKind::Points ? 1 : 2);
                }
                continue;
            }
            if (primitive.positions.size() > static_cast<std::size_t>(MaxImportedMeshVertices)) {
                return TooManyVertices(name, fileName_, primitive.positions.size());
            }
            if (Status added = AddHostMesh(placed, primitive, name); !added) {
                return added;
            }
        }
        return {};
    }

    Status AddHostMesh(const PlacedNode& placed, const ImportedPrimitive& primitive,
                       const std::string& name) {
        elementsAdded_ += primitive.positions.size() + primitive.triangles.size();
        if (elementsAdded_ > MostModelElements) {
            return Refusal("its nodes use its meshes for more than " +
                           std::to_string(MostModelElements) +
                           " vertices and triangles, far more than any model can have");
        }
        const std::int32_t material =
            primitive.material >= 0 ? hostMaterials_[static_cast<std::size_t>(primitive.material)]
                                    : -1;
        ztMesh hostMesh = ztBuild_AddMesh(host_, name.c_str(), material);
        for (std::size_t v = 0; v < primitive.positions.size(); ++v) {
            // An identity transform is skipped so that positions pass through bit for bit.
            const Point3 p = placed.isIdentity ? primitive.positions[v]
                                               : placed.transform.Apply(primitive.positions[v]);
            const std::array<float, 2> uv =
                primitive.texCoords.empty() ? std::array<float, 2>{0, 0} : primitive.texCoords[v];
            ztBuild_AddVertex(hostMesh, p.x, p.y, p.z, uv[0], uv[1]);
        }
        // The first corner stays, the other two swap: the triangle faces the other way.
        const bool mirrored = !placed.isIdentity && IsMirroring(placed.transform.Linear());
        for (const std::array<std::uint32_t, 3>& t : primitive.triangles) {
            ztBuild_AddTriangle(hostMesh, static_cast<std::uint16_t>(t[0]),
                                static_cast<std::uint16_t>(t[mirrored ? 2 : 1]),
                                static_cast<std::uint16_t>(t[mirrored ? 1 : 2]));
        }
        ++meshesAdded_;
        return {};
    }

    const tinygltf::Model& model_;
    const std::vector<std::string>& bufferFiles_;
    ztModel host_;
    std::string path_;
    std::string fileName_;
    std::string failure_;
    std::vector<int> parents_;
    bool skipRoot_ = false;
    std::vector<std::pair<std::string, bool>> namings_;       // names that name meshes, isRoot
    std::vector<std::vector<ImportedPrimitive>> primitives_;  // by glTF mesh
    std::vector<std::int32_t> hostMaterials_;                 // by glTF material
    ImportSummary summary_;
    std::int32_t meshesAdded_ = 0;
    std::size_t elementsAdded_ = 0;
};

// A node's transform must be a matrix of 16 numbers or parts of 3, 4 and 3.
Status CheckTransformSizes(const tinygltf::Model& model) {
    for (std::size_t n = 0; n < model.nodes.size(); ++n) {
        const tinygltf::Node& node = model.nodes[n];
        const auto sized = [](const std::vector<double>& v, std::size_t size) {
            return v.empty() || v.size() == size;
        };
        if (!sized(node.matrix, 16) || !sized(node.translation, 3) || !sized(node.rotation, 4) ||
            !sized(node.scale, 3)) {
            return Error{ErrorCode::ImportFailed,
                         "node " + std::to_string(n) + " has a transform of the wrong size"};
        }
    }
    return {};
}

Result<ImportSummary> Import(const std::string& path, ztModel model, const std::string& failure) {
    Result<GltfDocument> document = ReadGltfDocument(path);
    if (!document) {
        return Error{ErrorCode::ImportFailed, failure + document.message()};
    }
    if (Status sized = CheckTransformSizes(document.value().model); !sized) {
        return Error{ErrorCode::ImportFailed, failure + sized.message()};
    }
    return SceneImporter(document.value(), model, path, failure).Run();
}

}  // namespace

Result<ImportSummary> ImportGltfModel(const std::string& path, ztModel model) {
    const std::string failure = "cannot import '" + TerminalText(path) + "': ";
    if (model == nullptr) {
        return Error{ErrorCode::ImportFailed, failure + "no model to fill"};
    }
    try {
        return Import(path, model, failure);
    } catch (const std::bad_alloc&) {
        return Error{ErrorCode::ImportFailed, failure + "out of memory"};
    } catch (const std::exception& e) {
        return Error{ErrorCode::ImportFailed, failure + TerminalText(e.what())};
    } catch (...) {
        return Error{ErrorCode::ImportFailed, failure + "an unknown failure"};
    }
}

}  // namespace cmp
