// From the model the host gave the plug-in to the glTF of its exported file, read back by
// another program: for every model the tests export (the test models, whose golden files
// are their exports, and the example ship), cmpinfo writes both glTF forms of the golden
// file and Assimp reads them. The triangles are the source's, the positions the stored
// floats bit for bit and, through the root's transform, the source's positions again; the
// hardpoints sit where the tree puts them.
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <assimp/Importer.hpp>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "modelhost/import_model.h"
#include "tests/e2e/host_model_reader.h"
#include "tests/models/test_models.h"
#include "tests/support/model_builder.h"
#include "tests/support/scratch_folder.h"
#include "tools/cmpinfo/read/read.h"

namespace cmp {

namespace {

namespace fs = std::filesystem;

struct ExportedModel {
    std::string name;
    fs::path treeFile;       // the golden file its export gives
    ReadModelValues source;  // what the model functions handed the plug-in
};

std::vector<ExportedModel> ExportedModels() {
    std::vector<ExportedModel> models;
    for (const TestModel& model : ComparisonModels()) {
        const ztModel built = CreateTestModel(model.build);
        models.push_back(
            {model.name,
             fs::path(SOURCE_DIR) / "tests/models/golden" / (model.name + std::string(".cmp")),
             ReadModelThroughFunctions(built)});
        ztModel_Destroy(built);
    }
    standin::ModelBuilder ship;
    const Result<ImportSummary> imported =
        ImportModel(std::string(SOURCE_DIR) + "/examples/ship.obj", ship.model());
    EXPECT_TRUE(imported) << imported.message();
    models.push_back({"kestrel", fs::path(SOURCE_DIR) / "tests/e2e/golden/kestrel.cmp",
                      ReadModelThroughFunctions(ship.model())});
    return models;
}

float Source(const ReadMeshValues& mesh, std::size_t vertex, std::size_t axis) {
    return std::bit_cast<float>(mesh.vertexBits[5 * vertex + axis]);
}

// Equal to float rounding: the stored value is the source's times a float scale, rounded
// once; the way back multiplies by the float nearest its reciprocal, rounded once more.
// Where the stored value is subnormal its rounding step is absolute, the smallest
// subnormal, which the way back scales by about 92.
bool NearlyEqual(float back, float source) {
    const float stepBack = 128.0f * std::numeric_limits<float>::denorm_min();
    return std::fabs(back - source) <= 4.0f * FLT_EPSILON * std::fabs(source) + stepBack;
}

void CompareMesh(const std::string& model, const ReadMeshValues& source, const StoredMesh& stored,
                 const aiMesh& read, const aiMatrix4x4& root) {
    const std::string where = model + ": mesh \"" + source.name + "\" (" + read.mName.C_Str() + ")";
    const std::size_t vertexCount = source.vertexBits.size() / 5;
    ASSERT_EQ(read.mNumVertices, vertexCount) << where;
    // A mesh without triangles comes as points, one face of one index per vertex.
    if (source.corners.empty()) {
        ASSERT_EQ(read.mPrimitiveTypes, aiPrimitiveType_POINT) << where;
    } else {
        ASSERT_EQ(read.mNumFaces, source.corners.size() / 3) << where;
    }
    for (std::size_t t = 0; t < source.corners.size() / 3; ++t) {
        const aiFace& face = read.mFaces[t];
        ASSERT_EQ(face.mNumIndices, 3u) << where << " triangle " << t;
        for (std::size_t c = 0; c < 3; ++c) {
            ASSERT_EQ(face.mIndices[c], source.corners[3 * t + c]) << where << " triangle " << t;
        }
    }
    for (std::size_t v = 0; v < vertexCount; ++v) {
        const aiVector3D& position = read.mVertices[v];
        const aiVector3D& normal = read.mNormals[v];
        for (std::size_t i = 0; i < 3; ++i) {
            ASSERT_EQ(std::bit_cast<std::uint32_t>(position[i]),
                      std::bit_cast<std::uint32_t>(stored.vertices[v].position[i]))
                << where << " vertex " << v << ": the position differs from the stored one";
            ASSERT_EQ(std::bit_cast<std::uint32_t>(normal[i]),
                      std::bit_cast<std::uint32_t>(stored.vertices[v].normal[i]))
                << where << " vertex " << v << ": the normal differs from the stored one";
        }
        const aiVector3D back = root * position;
        for (std::size_t i = 0; i < 3; ++i) {
            ASSERT_TRUE(NearlyEqual(back[i], Source(source, v, i)))
                << where << " vertex " << v << ": the position comes back as (" << back.x << ", "
                << back.y << ", " << back.z << "), the source's is (" << Source(source, v, 0)
                << ", " << Source(source, v, 1) << ", " << Source(source, v, 2) << ")";
        }
    }
}

void CompareHardpoint(const std::string& model, const StoredHardpoint& stored, const aiNode& read) {
    const std::string where = model + ": hardpoint \"" + stored.name + "\"";
    // A hardpoint without a name has a node without one, which Assimp names itself.
    if (!stored.name.empty()) {
        EXPECT_EQ(read.mName.C_Str(), stored.name) << where;
    }
    EXPECT_EQ(read.mNumMeshes, 0u) << where;
    const aiMatrix4x4& m = read.mTransformation;
    const float position[3] = {m.a4, m.b4, m.c4};
    const float columns[3][3] = {{m.a1, m.b1, m.c1}, {m.a2, m.b2, m.c2}, {m.a3, m.b3, m.c3}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(position[i], stored.position[i]) << where << " position " << i;
        for (std::size_t j = 0; j < 3; ++j) {
            EXPECT_EQ(columns[i][j], stored.orientation[3 * i + j])
                << where << ": orientation row " << i << " is the node's column " << i;
        }
    }
}

void CompareRoundTrip(const ExportedModel& model, const fs::path& gltf) {
    const Result<StoredModel> stored = LoadCheckedModel(model.treeFile.string());
    ASSERT_TRUE(stored) << stored.message();
    Assimp::Importer importer;
    // Nothing that merges, reorders or drops: the file as it is, checked for consistency.
    const aiScene* scene = importer.ReadFile(gltf.string(), aiProcess_ValidateDataStructure);
    ASSERT_NE(scene, nullptr) << gltf << ": " << importer.GetErrorString();
    const aiNode& root = *scene->mRootNode;
    EXPECT_EQ(std::string(root.mName.C_Str()), model.treeFile.filename().string());

    std::vector<const ReadMeshValues*> sources;
    for (const ReadMeshValues& mesh : model.source.meshes) {
        if (!IsHardpointName(mesh.name.c_str())) {
            sources.push_back(&mesh);
        }
    }
    const StoredModel& file = stored.value();
    ASSERT_EQ(file.meshes.size(), sources.size()) << model.name;
    ASSERT_EQ(file.references.size(), 1u) << model.name;
    // The one reference's node shows every mesh of the stream that has vertices, in stream
    // order: a mesh without vertices is in the tree file but cannot be in a glTF file.
    std::vector<std::size_t> shown;
    for (std::size_t m = 0; m < sources.size(); ++m) {
        if (!sources[m]->vertexBits.empty()) {
            shown.push_back(m);
        }
    }
    std::size_t child = 0;
    if (!shown.empty()) {
        ASSERT_LT(child, root.mNumChildren) << model.name;
        const aiNode& node = *root.mChildren[child++];
        ASSERT_EQ(node.mNumMeshes, shown.size()) << model.name;
        EXPECT_TRUE(node.mTransformation.IsIdentity()) << model.name;
        for (std::size_t k = 0; k < shown.size(); ++k) {
            CompareMesh(model.name, *sources[shown[k]], file.meshes[shown[k]],
                        *scene->mMeshes[node.mMeshes[k]], root.mTransformation);
        }
    }
    ASSERT_EQ(root.mNumChildren, child + file.hardpoints.size()) << model.name;
    for (const StoredHardpoint& hardpoint : file.hardpoints) {
        CompareHardpoint(model.name, hardpoint, *root.mChildren[child++]);
    }
}

TEST(GltfRoundTrip, EveryExportedModelComesBackAsTheSourceGaveIt) {
    ScratchFolder folder;
    const std::vector<ExportedModel> models = ExportedModels();
    ASSERT_GE(models.size(), 2u);
    for (const ExportedModel& model : models) {
        for (const char* extension : {".gltf", ".glb"}) {
            const fs::path gltf = folder.GetPath() / (model.name + extension);
            const std::string command = std::string(CMPINFO_PATH) + " --gltf '" + gltf.string() +
                                        "' '" + model.treeFile.string() + "'";
            const int status = std::system(command.c_str());
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
            SCOPED_TRACE(gltf.filename().string());
            CompareRoundTrip(model, gltf);
        }
    }
}

}  // namespace

}  // namespace cmp
