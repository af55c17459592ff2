// The glTF importer on tinygltf against the Assimp import: small documents of each shape
// that the two could read differently (tests/modelhost/gltf_documents.h), imported by both
// and compared bit for bit.
#include "modelhost/gltf_import.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/little_endian.h"
#include "modelhost/import_model.h"
#include "tests/modelhost/gltf_documents.h"
#include "tests/support/file_contents.h"
#include "tests/support/model_builder.h"
#include "tests/support/model_snapshot.h"
#include "tests/support/scratch_folder.h"

namespace cmp {

namespace {

using namespace gltf_documents;

void ExpectSameAsAssimp(const std::string& path) {
    SCOPED_TRACE(path);
    const Imported assimp = ImportWith(ImportModel, path);
    const Imported ours = ImportWith(ImportGltfModel, path);
    ASSERT_TRUE(assimp.status.ok()) << assimp.status.message();
    ASSERT_TRUE(ours.status.ok()) << ours.status.message();
    EXPECT_EQ(FirstDifference(assimp.model, ours.model), "");
    EXPECT_EQ(assimp.summary, ours.summary);
}

TEST(ImportGltfModel, GivesTheModelOfTheAssimpImportBitForBit) {
    ScratchFolder scratch;
    for (const Case& c : Cases) {
        for (const std::string& path : WriteCase(scratch, c)) {
            ExpectSameAsAssimp(path);
        }
    }
}

// The model's path as the user typed it: relative, the buffer beside it.
TEST(ImportGltfModel, NamesTheFilesItReadAsAssimpDoes) {
    ScratchFolder scratch(ScratchFolder::Enter::Yes);
    WriteCase(scratch, Cases[0]);
    ExpectSameAsAssimp("roots.gltf");
    const Imported ours = ImportWith(ImportGltfModel, "roots.gltf");
    EXPECT_EQ(ours.summary.filesRead, (std::vector<std::string>{"roots.gltf", "roots.bin"}));
}

TEST(ImportGltfModel, RefusesAMeshOfMoreThan65535VerticesAsAssimpDoes) {
    ScratchFolder scratch;
    Geometry g;
    g.Add(Bytes(65536 * 12, 0), 5126, 65536, "VEC3");
    const Case huge{"huge", R"([{"nodes":[0]}])", R"([{"name":"Huge","mesh":0}])"};
    const std::string json =
        R"({"asset":{"version":"2.0"},"scenes":[{"nodes":[0]}],"nodes":[{"name":"Huge","mesh":0}],)"
        R"("meshes":[{"primitives":[{"attributes":{"POSITION":0}}]}],"accessors":[)" +
        g.accessors + "],\"bufferViews\":[" + g.views +
        "],\"buffers\":[{\"byteLength\":" + std::to_string(g.bin.size()) + "}]}";
    (void)huge;
    WriteWholeFile(scratch / "huge.glb", Glb(json, g.bin));
    const Imported assimp = ImportWith(ImportModel, scratch / "huge.glb");
    const Imported ours = ImportWith(ImportGltfModel, scratch / "huge.glb");
    ASSERT_FALSE(ours.status.ok());
    EXPECT_EQ(ours.status.message(), assimp.status.message());
    EXPECT_EQ(ours.status.message(),
              "mesh 'Huge' in 'huge.glb' has 65536 vertices; a mesh may have at most 65535");
}

}  // namespace

}  // namespace cmp
