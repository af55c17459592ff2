#include "modelhost/import_model.h"

#include <assimp/DefaultIOSystem.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <algorithm>
#include <assimp/Importer.hpp>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "core/text.h"
#include "standin/ztModelBuilder.h"

namespace cmp {

namespace {

// Every step here keeps vertex order and triangle corners; the ones that merge meshes,
// drop "degenerate" triangles or renumber materials would change what the user made.
// Sorting by primitive type leaves every mesh with one kind of primitive; the point and
// line meshes are skipped below rather than removed by Assimp, which would fail the
// whole import of a file that holds nothing else instead of giving an empty model.
unsigned ImportSteps(const std::string& path) {
    unsigned steps = aiProcess_Triangulate | aiProcess_SortByPType | aiProcess_FlipUVs;
    // glTF is indexed already: its indices are the user's and stay as they are.
    // Formats that list corners one by one get identical corners joined.
    if (!IsGltfPath(path)) {
        steps |= aiProcess_JoinIdenticalVertices;
    }
    return steps;
}

bool IsExactIdentity(const aiMatrix4x4& m) {
    const aiMatrix4x4 identity;
    for (unsigned row = 0; row < 4; ++row) {
        for (unsigned column = 0; column < 4; ++column) {
            if (m[row][column] != identity[row][column]) {
                return false;
            }
        }
    }
    return true;
}

LinearPart LinearPartOf(const aiMatrix4x4& m) {
    return {{{m.a1, m.a2, m.a3}, {m.b1, m.b2, m.b3}, {m.c1, m.c2, m.c3}}};
}

struct PlacedNode {
    const aiNode* node;
    aiMatrix4x4 transform;  // node to scene
    bool isIdentity;
};

// The units a model may be made in, in metres. Outside them lies no model a user meant but
// a damaged file: a unit of 0 puts every vertex at the origin, a negative one turns the
// model inside out through its centre, and one too small for single precision (a
// UnitScaleFactor of 1e-43) scales every position to 0.
constexpr float SmallestUnit = 1e-6f;
constexpr float LargestUnit = 1e6f;

bool IsUsableUnit(float metres) {
    return metres >= SmallestUnit && metres <= LargestUnit;  // false for NaN
}

// The shortest text that reads back as `value`: "0.01", "1e-43", "nan".
template <class Real>
std::string ShortestText(Real value) {
    if (std::isnan(value)) {
        return "nan";  // whatever its sign bit, which Assimp's arithmetic sets at will
    }
    char text[64];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
    return std::string(text, static_cast<std::size_t>(written.ptr - text));
}

Error UnitRefusal(const std::string& unit) {
    return Error{ErrorCode::ImportFailed,
                 "its unit, " + unit + ", is no length from 0.000001 to 1000000 metres"};
}

// Assimp applies Collada's <unit meter> itself, to the root node (a visual scene has no
// transform of its own), with the turn of the file's up axis: the root's linear part is
// the unit times a rotation. Its first column has the unit's length, its determinant the
// unit's sign; both exact in double for the single-precision unit Assimp read.
float ColladaUnit(const aiMatrix4x4& root) {
    const double a = root.a1, d = root.b1, g = root.c1;
    const double length = std::sqrt(a * a + d * d + g * g);
    return static_cast<float>(LinearDeterminant(LinearPartOf(root)) < 0 ? -length : length);
}

// FBX keeps lengths in its own unit, named by the scene's "UnitScaleFactor" (centimetres
// per unit); Blender writes centimetres, with every transform scaled by 100. Read as that
// factor over 100, the model is in metres, as Blender itself reads its FBX back and as the
// same scene comes from glTF or OBJ. Collada's <unit> Assimp has applied already; it is
// only checked here. Other formats carry no unit and keep their numbers (1). A unit that
// is no usable length fails, with the file's own value in the message.
Result<float> UnitScale(const aiScene& scene, bool isCollada) {
    if (isCollada && scene.mRootNode != nullptr) {
        const float unit = ColladaUnit(scene.mRootNode->mTransformation);
        if (!IsUsableUnit(unit)) {
            return UnitRefusal("<unit meter=\"" + ShortestText(unit) + "\">");
        }
        return 1.0f;
    }
    if (scene.mMetaData == nullptr) {
        return 1.0f;
    }
    double factor = 0;
    float factorAsFloat = 0;
    std::string factorText;
    if (scene.mMetaData->Get("UnitScaleFactor", factor)) {
        factorText = ShortestText(factor);
    } else if (scene.mMetaData->Get("UnitScaleFactor", factorAsFloat)) {
        factor = factorAsFloat;
        factorText = ShortestText(factorAsFloat);
    } else {
        return 1.0f;
    }
    const float scale = static_cast<float>(factor / 100.0);
    if (!IsUsableUnit(scale)) {
        return UnitRefusal("UnitScaleFactor " + factorText + " (centimetres)");
    }
    return scale;
}

class SceneImporter {
  public:
    // `unitScale` brings the scene's lengths to metres (UnitScale).
    SceneImporter(const aiScene& scene, ztModel model, std::string fileName, bool isGltf,
                  float unitScale)
        : scene_(scene),
          model_(model),
          fileName_(std::move(fileName)),
          isGltf_(isGltf),
          unitScale_(unitScale) {}

    Result<ImportSummary> Run() {
        AddMaterials();
        // Depth first, children in file order; an explicit stack, since files are hostile.
        std::vector<PlacedNode> pending;
        if (scene_.mRootNode != nullptr) {
            aiMatrix4x4 root = scene_.mRootNode->mTransformation;
            if (unitScale_ != 1.0f) {
                aiMatrix4x4 scaling;
                aiMatrix4x4::Scaling(aiVector3D(unitScale_), scaling);
                root = scaling * root;
            }
            pending.push_back({scene_.mRootNode, root, IsExactIdentity(root)});
        }
        while (!pending.empty()) {
            PlacedNode placed = pending.back();
            pending.pop_back();
            for (unsigned i = 0; i < placed.node->mNumMeshes; ++i) {
                if (Status added = AddMeshInstance(placed, placed.node->mMeshes[i]); !added) {
                    return added.error();
                }
            }
            for (unsigned i = placed.node->mNumChildren; i-- > 0;) {
                const aiNode* child = placed.node->mChildren[i];
                const bool childIdentity = IsExactIdentity(child->mTransformation);
                aiMatrix4x4 transform = placed.transform;
                if (!childIdentity) {
                    transform = placed.transform * child->mTransformation;
                }
                pending.push_back({child, transform, placed.isIdentity && childIdentity});
            }
        }
        return summary_;
    }

  private:
    void AddMaterials() {
        hostMaterials_.assign(scene_.mNumMaterials, -1);
        for (unsigned i = 0; i < scene_.mNumMaterials; ++i) {
            const aiString name = scene_.mMaterials[i]->GetName();
            if (name.length > 0 && std::string(name.C_Str()) != AI_DEFAULT_MATERIAL_NAME) {
                hostMaterials_[i] = ztBuild_AddMaterial(model_, name.C_Str());
            }
        }
    }

    std::string MeshName(const aiNode* node, const aiMesh& mesh) const {
        const aiNode* root = node;
        while (root->mParent != nullptr) {
            root = root->mParent;
        }
        const bool skipRoot =
            isGltf_ && IsAddedGltfRoot(root->mName.C_Str(), root->mNumMeshes, root->mNumChildren);
        for (; node != nullptr; node = node->mParent) {
            const NamingNode naming{node->mName.C_Str(), node->mParent == nullptr};
            if (NamesMeshes(naming, skipRoot)) {
                return HostMeshName(&naming, mesh.mName.C_Str(), fileName_, meshesAdded_);
            }
        }
        return HostMeshName(nullptr, mesh.mName.C_Str(), fileName_, meshesAdded_);
    }

    Status AddMeshInstance(const PlacedNode& placed, unsigned meshIndex) {
        if (meshIndex >= scene_.mNumMeshes || scene_.mMeshes[meshIndex] == nullptr) {
            return Error{ErrorCode::ImportFailed,
                         "'" + TerminalText(fileName_) + "' refers to a mesh it does not have"};
        }
        const aiMesh& mesh = *scene_.mMeshes[meshIndex];
        const std::string name = MeshName(placed.node, mesh);
        // Only triangles reach the host: point and line meshes stay behind, counted so
        // that a model left empty by them can say why. A hardpoint marked by points
        // alone (an empty, a single vertex) keeps them: the plug-in places a hardpoint
        // at its mesh's vertices and needs no face for it.
        const bool triangles = (mesh.mPrimitiveTypes & aiPrimitiveType_TRIANGLE) != 0;
        if (!triangles && !IsHardpointPoints(placed.node, mesh, name)) {
            CountDropped(mesh);
            return {};
        }
        if (mesh.mNumVertices > static_cast<unsigned>(MaxImportedMeshVertices)) {
            return TooManyVertices(name, fileName_, mesh.mNumVertices);
        }
        const std::int32_t material =
            mesh.mMaterialIndex < hostMaterials_.size() ? hostMaterials_[mesh.mMaterialIndex] : -1;
        ztMesh hostMesh = ztBuild_AddMesh(model_, name.c_str(), material);
        AddVertices(placed, mesh, hostMesh);
        // The first corner stays, the other two swap: the triangle faces the other way.
        const bool mirrored = !placed.isIdentity && IsMirroring(LinearPartOf(placed.transform));
        const unsigned second = mirrored ? 2 : 1;
        const unsigned third = mirrored ? 1 : 2;
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            if (face.mNumIndices == 3) {
                ztBuild_AddTriangle(hostMesh, static_cast<std::uint16_t>(face.mIndices[0]),
                                    static_cast<std::uint16_t>(face.mIndices[second]),
                                    static_cast<std::uint16_t>(face.mIndices[third]));
            }
        }
        ++meshesAdded_;
        return {};
    }

    // Points alone, named as a hardpoint (KeepsPointsAsHardpoint).
    bool IsHardpointPoints(const aiNode* node, const aiMesh& mesh, const std::string& name) const {
        if (mesh.mPrimitiveTypes != aiPrimitiveType_POINT) {
            return false;
        }
        bool nodeHasTriangles = false;
        for (unsigned i = 0; i < node->mNumMeshes; ++i) {
            const unsigned other = node->mMeshes[i];
            nodeHasTriangles |=
                other < scene_.mNumMeshes && scene_.mMeshes[other] != nullptr &&
                (scene_.mMeshes[other]->mPrimitiveTypes & aiPrimitiveType_TRIANGLE) != 0;
        }
        return KeepsPointsAsHardpoint(name, nodeHasTriangles);
    }

    void CountDropped(const aiMesh& mesh) {
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            CountDroppedFace(summary_, mesh.mFaces[f].mNumIndices);
        }
    }

    static void AddVertices(const PlacedNode& placed, const aiMesh& mesh, ztMesh hostMesh) {
        const aiVector3D* uvs = mesh.mTextureCoords[0];
        for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
            // An identity transform is skipped so that positions pass through bit for bit.
            aiVector3D position = mesh.mVertices[v];
            if (!placed.isIdentity) {
                position = placed.transform * position;
            }
            const float u = uvs != nullptr ? uvs[v].x : 0.0f;
            const float w = uvs != nullptr ? uvs[v].y : 0.0f;
            ztBuild_AddVertex(hostMesh, position.x, position.y, position.z, u, w);
        }
    }

    const aiScene& scene_;
    ztModel model_;
    std::string fileName_;
    bool isGltf_;
    float unitScale_;
    std::vector<std::int32_t> hostMaterials_;
    ImportSummary summary_;
    std::int32_t meshesAdded_ = 0;
};

// Assimp's own file access, noting every file it opens: the model file and those the
// model refers to. The host must never write its export over any of them.
class RecordingFileSystem : public Assimp::DefaultIOSystem {
  public:
    explicit RecordingFileSystem(std::vector<std::string>& filesRead) : filesRead_(filesRead) {}

    Assimp::IOStream* Open(const char* file, const char* mode) override {
        Assimp::IOStream* stream = DefaultIOSystem::Open(file, mode);
        if (stream != nullptr && file != nullptr &&
            std::find(filesRead_.begin(), filesRead_.end(), file) == filesRead_.end()) {
            filesRead_.emplace_back(file);
        }
        return stream;
    }

  private:
    std::vector<std::string>& filesRead_;
};

}  // namespace

Result<ImportSummary> ImportModel(const std::string& path, ztModel model) {
    const std::string fileName = std::filesystem::path(path).filename().string();
    if (model == nullptr) {
        return Error{ErrorCode::ImportFailed,
                     "cannot import '" + TerminalText(path) + "': no model to fill"};
    }
    std::vector<std::string> filesRead{path};
    Assimp::Importer importer;
    importer.SetIOHandler(new RecordingFileSystem(filesRead));  // the importer owns it
    importer.SetPropertyBool(AI_CONFIG_IMPORT_COLLADA_USE_COLLADA_NAMES, true);
    const aiScene* scene = importer.ReadFile(path, ImportSteps(path));
    // The path and the importer's text (which may quote the path) go into a message of one
    // line: a line break in a file name must not break it.
    const std::string failure = "cannot import '" + TerminalText(path) + "': ";
    if (scene == nullptr) {
        return Error{ErrorCode::ImportFailed, failure + TerminalText(importer.GetErrorString())};
    }
    const Result<float> unitScale = UnitScale(*scene, IsColladaPath(path));
    if (!unitScale) {
        return Error{ErrorCode::ImportFailed, failure + unitScale.message()};
    }
    // A scene without meshes is flagged incomplete; it is still a model, an empty one,
    // which the plug-in is there to refuse.
    Result<ImportSummary> imported =
        SceneImporter(*scene, model, fileName, IsGltfPath(path), unitScale.value()).Run();
    if (imported) {
        imported.value().filesRead = std::move(filesRead);
    }
    return imported;
}

}  // namespace cmp
