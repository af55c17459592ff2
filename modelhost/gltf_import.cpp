// The glTF import's walk of the scene: each node placed with its node-to-scene transform
// and the name its meshes take, each mesh's primitives imported once, then the host's
// materials in the order Assimp comes upon them and one host mesh per primitive of each
// placed node.
#include "modelhost/gltf_import.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "core/text.h"
#include "modelhost/gltf_internal.h"
#include "standin/ztModelBuilder.h"

namespace cmp {

namespace {

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
        Result<std::vector<int>> roots = SceneRoots(model_);
        if (!roots) {
            return Refusal(roots.message());
        }
        const std::vector<PlacedNode> placed = PlaceNodes(roots.value());
        if (Status imported = ImportMeshes(placed); !imported) {
            return imported.error();
        }
        const GltfReadOrder order = ReadOrder(model_, roots.value());
        AddMaterials(order.materials);
        summary_.filesRead.push_back(path_);
        for (int buffer : order.buffers) {
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

    std::size_t PrimitiveCount(int node) const {
        const int mesh = model_.nodes[static_cast<std::size_t>(node)].mesh;
        return mesh < 0 ? 0 : model_.meshes[static_cast<std::size_t>(mesh)].primitives.size();
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
            const Transform4 transform =
                LocalTransform(model_.nodes[static_cast<std::size_t>(root)]);
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
        const Transform4 local = LocalTransform(model_.nodes[static_cast<std::size_t>(child)]);
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
    bool skipRoot_ = false;
    std::vector<std::pair<std::string, bool>> namings_;       // names that name meshes, isRoot
    std::vector<std::vector<ImportedPrimitive>> primitives_;  // by glTF mesh
    std::vector<std::int32_t> hostMaterials_;                 // by glTF material
    ImportSummary summary_;
    std::int32_t meshesAdded_ = 0;
    std::size_t elementsAdded_ = 0;
};

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