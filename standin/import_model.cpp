#include "standin/import_model.h"

#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <algorithm>
#include <assimp/Importer.hpp>
#include <cctype>
#include <filesystem>
#include <vector>

#include "standin/ztModelBuilder.h"

namespace {

// Every step here keeps vertex order and triangle corners; the ones that merge meshes,
// drop "degenerate" triangles or renumber materials would change what the user made.
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

struct PlacedNode {
    const aiNode* node;
    aiMatrix4x4 transform;  // node to scene
    bool isIdentity;
};

// The node's name, else its nearest named ancestor's.
std::string NodeName(const aiNode* node) {
    for (; node != nullptr; node = node->mParent) {
        if (node->mName.length > 0) {
            return node->mName.C_Str();
        }
    }
    return {};
}

class SceneImporter {
  public:
    SceneImporter(const aiScene& scene, ztModel model, std::string fileName)
        : scene_(scene), model_(model), fileName_(std::move(fileName)) {}

    Status Run() {
        AddMaterials();
        // Depth first, children in file order; an explicit stack, since files are hostile.
        std::vector<PlacedNode> pending;
        if (scene_.mRootNode != nullptr) {
            const aiMatrix4x4& root = scene_.mRootNode->mTransformation;
            pending.push_back({scene_.mRootNode, root, IsExactIdentity(root)});
        }
        while (!pending.empty()) {
            PlacedNode placed = pending.back();
            pending.pop_back();
            for (unsigned i = 0; i < placed.node->mNumMeshes; ++i) {
                if (Status added = AddMeshInstance(placed, placed.node->mMeshes[i]); !added) {
                    return added;
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
        return {};
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
        std::string name = NodeName(node);
        if (name.empty()) {
            name = mesh.mName.C_Str();
        }
        if (name.empty()) {
            name = fileName_ + "_" + std::to_string(meshesAdded_);
        }
        return name;
    }

    Status AddMeshInstance(const PlacedNode& placed, unsigned meshIndex) {
        if (meshIndex >= scene_.mNumMeshes || scene_.mMeshes[meshIndex] == nullptr) {
            return Error{"'" + fileName_ + "' refers to a mesh it does not have"};
        }
        const aiMesh& mesh = *scene_.mMeshes[meshIndex];
        // Only triangles reach the host; the sorting step left points and lines out.
        if ((mesh.mPrimitiveTypes & aiPrimitiveType_TRIANGLE) == 0) {
            return {};
        }
        const std::string name = MeshName(placed.node, mesh);
        if (mesh.mNumVertices > static_cast<unsigned>(MaxImportedMeshVertices)) {
            return Error{"mesh '" + name + "' in '" + fileName_ + "' has " +
                         std::to_string(mesh.mNumVertices) + " vertices; a mesh may have at most " +
                         std::to_string(MaxImportedMeshVertices)};
        }
        const std::int32_t material =
            mesh.mMaterialIndex < hostMaterials_.size() ? hostMaterials_[mesh.mMaterialIndex] : -1;
        ztMesh hostMesh = ztBuild_AddMesh(model_, name.c_str(), material);
        AddVertices(placed, mesh, hostMesh);
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            if (face.mNumIndices == 3) {
                ztBuild_AddTriangle(hostMesh, static_cast<std::uint16_t>(face.mIndices[0]),
                                    static_cast<std::uint16_t>(face.mIndices[1]),
                                    static_cast<std::uint16_t>(face.mIndices[2]));
            }
        }
        ++meshesAdded_;
        return {};
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
    std::vector<std::int32_t> hostMaterials_;
    std::int32_t meshesAdded_ = 0;
};

}  // namespace

bool IsGltfPath(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".gltf" || extension == ".glb";
}

Status ImportModel(const std::string& path, ztModel model) {
    const std::string fileName = std::filesystem::path(path).filename().string();
    if (model == nullptr) {
        return Error{"cannot import '" + path + "': no model to fill"};
    }
    Assimp::Importer importer;
    importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE,
                                aiPrimitiveType_POINT | aiPrimitiveType_LINE);
    importer.SetPropertyBool(AI_CONFIG_IMPORT_COLLADA_USE_COLLADA_NAMES, true);
    const aiScene* scene = importer.ReadFile(path, ImportSteps(path));
    if (scene == nullptr) {
        return Error{"cannot import '" + path + "': " + importer.GetErrorString()};
    }
    if ((scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE) != 0) {
        return Error{"cannot import '" + path + "': the file holds no complete scene"};
    }
    return SceneImporter(*scene, model, fileName).Run();
}
