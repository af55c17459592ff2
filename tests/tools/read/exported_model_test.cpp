#include "tools/cmpinfo/read/read.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "mesh/mesh.h"
#include "tests/tools/model_tree.h"
#include "tests/tree/mesh_fixtures.h"
#include "tree/tree.h"

namespace cmp {

namespace {

MeshList Model() {
    MeshList meshes{MakeMesh("Hull", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                             {0, 1, 2, 0, 2, 3}, {{0, 0, 1}, {1, 0, 0}}),
                    MakeMesh("Hp_Fixed_HpEngine01", {{0, 0, -2}}),
                    FaceAt("Wing", {2, 0.5f, 0}, {0, 1, 0}),
                    MakeMesh("Hp_Revolute_Turret", {{0, 1, 0}})};
    std::strcpy(meshes[2].materialName, "Metal");
    meshes[0].vertices[1].u = 0.25f;
    meshes[0].vertices[1].v = -0.75f;
    return meshes;
}

void Replace(NodeTree& tree, const std::string& leaf, Bytes bytes) {
    tree.SetPayload(FindNode(tree, leaf), std::move(bytes));
}

TEST(StoredModel, GivesBackEveryStoredValueAndHardpoint) {
    const MeshList meshes = Model();
    const Result<StoredModel> read = ReadStoredModel(ModelTree(meshes));
    ASSERT_TRUE(read) << read.message();
    const StoredModel& model = read.value();

    ASSERT_EQ(model.meshes.size(), 2u);  // hardpoint meshes hold no geometry
    const ExportMesh* sources[] = {&meshes[0], &meshes[2]};
    for (std::size_t m = 0; m < 2; ++m) {
        const StoredMesh& mesh = model.meshes[m];
        const ExportMesh& source = *sources[m];
        EXPECT_EQ(model.entries.at(mesh.entry), "Hull.lod0.vms");
        EXPECT_EQ(mesh.indexInEntry, m);
        EXPECT_EQ(mesh.material, NameId(source.materialName));
        EXPECT_EQ(mesh.indices, source.triangles);
        ASSERT_EQ(mesh.vertices.size(), source.vertices.size());
        for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
            const ExportVertex& want = source.vertices[v];
            const StoredVertex& got = mesh.vertices[v];
            for (int i = 0; i < 3; ++i) {
                EXPECT_EQ(std::bit_cast<std::uint32_t>(got.position[i]),
                          std::bit_cast<std::uint32_t>(want.position[i]));
                EXPECT_EQ(std::bit_cast<std::uint32_t>(got.normal[i]),
                          std::bit_cast<std::uint32_t>(want.normal[i]));
            }
            EXPECT_EQ(got.uv[0], want.u);
            EXPECT_EQ(got.uv[1], want.v);
        }
    }

    ASSERT_EQ(model.hardpoints.size(), 2u);
    const StoredHardpoint& engine = model.hardpoints[0];
    EXPECT_EQ(engine.name, "HpEngine01");
    EXPECT_EQ(engine.kind, HardpointKind::Fixed);
    EXPECT_EQ(engine.position, (std::array<float, 3>{0, 0, -2}));
    EXPECT_EQ(engine.orientation, (std::array<float, 9>{1, 0, 0, 0, 1, 0, 0, 0, 1}));
    const StoredHardpoint& turret = model.hardpoints[1];
    EXPECT_EQ(turret.name, "Turret");
    EXPECT_EQ(turret.kind, HardpointKind::Revolute);
    EXPECT_EQ(turret.axis, (std::array<float, 3>{0, 1, 0}));
    EXPECT_EQ(turret.min, -0.7854f);
    EXPECT_EQ(turret.max, 0.78538f);
}

TEST(StoredModel, AModelOfHardpointsAloneHasNoMeshes) {
    const Result<StoredModel> read =
        ReadStoredModel(ModelTree({MakeMesh("Hp_Fixed_A", {{1, 2, 3}})}));
    ASSERT_TRUE(read) << read.message();
    EXPECT_TRUE(read.value().meshes.empty());
    EXPECT_EQ(read.value().hardpoints.size(), 1u);
}

// Trees the inspector would refuse: the reader must say what does not fit, never read
// outside a leaf.
TEST(StoredModel, RefusesWhatDoesNotFit) {
    struct Case {
        const char* what;
        std::function<void(NodeTree&)> damage;
        const char* message;
    };
    auto stream = [] { return BuildMeshDataStream(Model()); };
    const Case cases[] = {
        {"stream cut short",
         [&](NodeTree& t) {
             Bytes bytes = stream();
             bytes.pop_back();
             Replace(t, "VMeshData", bytes);
         },
         "its counts call for"},
        {"no stream header", [](NodeTree& t) { Replace(t, "VMeshData", Bytes(10)); },
         "the stream is shorter than its 16-byte header"},
        {"index past its mesh",
         [&](NodeTree& t) {
             Bytes bytes = stream();
             StoreU16(bytes.data() + StreamHeaderSize + 2 * StreamMeshHeaderSize, 9);
             Replace(t, "VMeshData", bytes);
         },
         "names vertex 9 of 4"},
        {"mesh header past the arrays",
         [&](NodeTree& t) {
             Bytes bytes = stream();
             StoreU16(bytes.data() + StreamHeaderSize + 8, 60);
             Replace(t, "VMeshData", bytes);
         },
         "reaches past the end"},
        {"reference beyond the stream",
         [](NodeTree& t) {
             MeshReference reference;
             reference.libraryId = NameId("Hull.lod0.vms");
             reference.firstMesh = 1;
             reference.meshCount = 2;
             Replace(t, "VMeshRef", EncodeMeshReference(reference));
         },
         "which holds 2"},
        {"reference to no entry",
         [](NodeTree& t) {
             MeshReference reference;
             reference.libraryId = 7;
             Replace(t, "VMeshRef", EncodeMeshReference(reference));
         },
         "which the file lacks"},
        {"short reference", [](NodeTree& t) { Replace(t, "VMeshRef", Bytes(59)); },
         "shorter than a mesh reference"},
        {"short orientation", [](NodeTree& t) { Replace(t, "Orientation", Bytes(32)); },
         "fewer than 9 reals"},
    };
    for (const Case& c : cases) {
        NodeTree tree = ModelTree(Model());
        c.damage(tree);
        const Result<StoredModel> read = ReadStoredModel(tree);
        ASSERT_FALSE(read) << c.what;
        EXPECT_EQ(read.code(), ErrorCode::MalformedTreeFile) << c.what;
        EXPECT_NE(read.message().find(c.message), std::string::npos)
            << c.what << ": " << read.message();
    }
}

TEST(StoredModel, RefusesAHardpointWithoutPosition) {
    NodeTree tree;
    const NodeHandle group = tree.InsertNode(tree.InsertNode({}, "Hardpoints"), "Fixed");
    const NodeHandle orientation = tree.InsertNode(tree.InsertNode(group, "HpGun"), "Orientation");
    tree.SetPayload(orientation, Bytes(36));
    const Result<StoredModel> read = ReadStoredModel(tree);
    ASSERT_FALSE(read);
    EXPECT_NE(read.message().find("\"HpGun\" has no \"Position\""), std::string::npos);
}

}  // namespace

}  // namespace cmp
