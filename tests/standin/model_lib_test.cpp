#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <limits>
#include <string>

#include "host/ztModelLib.h"
#include "standin/ztModelBuilder.h"
#include "tests/support/model_builder.h"

namespace cmp {

namespace {

class StandInModel : public ::testing::Test {
  protected:
    void SetUp() override {
        steel_ = model_.AddMaterial("Steel");
        glass_ = model_.AddMaterial("Glass");
        hull_ = model_.AddMesh("Hull", glass_);
        standin::ModelBuilder::AddVertex(hull_, 1.0f, 2.0f, 3.0f, 0.25f, 0.75f);
        standin::ModelBuilder::AddVertex(hull_, 4.0f, 5.0f, 6.0f, 0.5f, 1.0f);
        standin::ModelBuilder::AddVertex(hull_, 7.0f, 8.0f, 9.0f);
        standin::ModelBuilder::AddTriangle(hull_, 0, 1, 2);
        standin::ModelBuilder::AddTriangle(hull_, 2, 1, 65535);
        empty_ = model_.AddMesh(nullptr, 7);
    }

    standin::ModelBuilder model_;
    int steel_ = -1;
    int glass_ = -1;
    ztMesh hull_ = nullptr;
    ztMesh empty_ = nullptr;
};

TEST_F(StandInModel, ServesWhatWasBuilt) {
    const ztModel model = model_.model();
    EXPECT_EQ(steel_, 0);
    EXPECT_EQ(glass_, 1);
    EXPECT_EQ(ztModel_GetMaterialCount(model), 2);
    EXPECT_EQ(ztModel_GetMeshCount(model), 2);
    EXPECT_EQ(ztModel_GetMeshAt(model, 0), hull_);
    EXPECT_EQ(ztModel_GetMeshAt(model, 1), empty_);
    EXPECT_EQ(ztMesh_GetMaterialIndex(hull_), 1);
    EXPECT_EQ(ztMesh_GetMaterialIndex(empty_), 7);  // stored as given

    char name[32] = {};
    ztMaterial_GetName(ztModel_GetMaterialAt(model, 1), name, sizeof name);
    EXPECT_STREQ(name, "Glass");
    ztMesh_GetName(hull_, name, sizeof name);
    EXPECT_STREQ(name, "Hull");
    ztMesh_GetName(empty_, name, sizeof name);
    EXPECT_STREQ(name, "");

    EXPECT_EQ(ztMesh_GetVertexCount(hull_), 3);
    EXPECT_EQ(ztMesh_GetTriangleCount(hull_), 2);
    float xyz[3] = {};
    float uv[2] = {};
    ztVertex_GetVertex(ztMesh_GetVertexAt(hull_, 1), xyz);
    ztVertex_GetTexCoords(ztMesh_GetVertexAt(hull_, 1), uv);
    EXPECT_EQ(std::to_array(xyz), (std::array<float, 3>{4.0f, 5.0f, 6.0f}));
    EXPECT_EQ(std::to_array(uv), (std::array<float, 2>{0.5f, 1.0f}));
    std::uint16_t corners[3] = {};
    ztTriangle_GetVertexIndices(ztMesh_GetTriangleAt(hull_, 1), corners);
    EXPECT_EQ(std::to_array(corners), (std::array<std::uint16_t, 3>{2, 1, 65535}));
}

// Handles stay valid while the model grows.
TEST_F(StandInModel, HandlesSurviveLaterAdditions) {
    const ztVertex first = ztMesh_GetVertexAt(hull_, 0);
    const ztTriangle firstTriangle = ztMesh_GetTriangleAt(hull_, 0);
    for (int i = 0; i < 10000; ++i) {
        standin::ModelBuilder::AddVertex(hull_, 0, 0, 0);
        standin::ModelBuilder::AddTriangle(hull_, 0, 0, 0);
        model_.AddMesh("More");
    }
    EXPECT_EQ(ztMesh_GetVertexAt(hull_, 0), first);
    EXPECT_EQ(ztModel_GetMeshAt(model_.model(), 0), hull_);
    float xyz[3] = {};
    ztVertex_GetVertex(first, xyz);
    EXPECT_EQ(xyz[2], 3.0f);
    std::uint16_t corners[3] = {9, 9, 9};
    ztTriangle_GetVertexIndices(firstTriangle, corners);
    EXPECT_EQ(corners[2], 2);
}

TEST_F(StandInModel, OutOfRangeIndicesGiveNullHandles) {
    const ztModel model = model_.model();
    const int nullCallsBefore = ztBuild_NullHandleCalls();
    // Two meshes, two materials, three vertices, two triangles: each count is the first
    // index past the end.
    for (const int index :
         {-1, 3, 1000, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
        EXPECT_EQ(ztModel_GetMeshAt(model, index), nullptr) << index;
        EXPECT_EQ(ztModel_GetMaterialAt(model, index), nullptr) << index;
        EXPECT_EQ(ztMesh_GetVertexAt(hull_, index), nullptr) << index;
        EXPECT_EQ(ztMesh_GetTriangleAt(hull_, index), nullptr) << index;
    }
    EXPECT_EQ(ztModel_GetMeshAt(model, 2), nullptr);
    EXPECT_EQ(ztModel_GetMaterialAt(model, 2), nullptr);
    EXPECT_EQ(ztMesh_GetTriangleAt(hull_, 2), nullptr);
    EXPECT_EQ(ztMesh_GetVertexAt(empty_, 0), nullptr);
    EXPECT_EQ(ztBuild_NullHandleCalls(), nullCallsBefore);
}

// Every function answers a null handle with nothing, and counts the call.
TEST(StandInNullHandles, AnsweredAndCounted) {
    const int before = ztBuild_NullHandleCalls();
    char name[4] = {'x', 'x', 'x', 'x'};
    float values[3] = {9.0f, 9.0f, 9.0f};
    std::uint16_t corners[3] = {9, 9, 9};
    EXPECT_EQ(ztModel_GetMaterialCount(nullptr), 0);
    EXPECT_EQ(ztModel_GetMeshCount(nullptr), 0);
    EXPECT_EQ(ztModel_GetMeshAt(nullptr, 0), nullptr);
    EXPECT_EQ(ztModel_GetMaterialAt(nullptr, 0), nullptr);
    ztModel_Destroy(nullptr);
    EXPECT_EQ(ztMesh_GetMaterialIndex(nullptr), 0);
    ztMesh_GetName(nullptr, name, sizeof name);
    EXPECT_EQ(ztMesh_GetVertexCount(nullptr), 0);
    EXPECT_EQ(ztMesh_GetVertexAt(nullptr, 0), nullptr);
    EXPECT_EQ(ztMesh_GetTriangleCount(nullptr), 0);
    EXPECT_EQ(ztMesh_GetTriangleAt(nullptr, 0), nullptr);
    ztMaterial_GetName(nullptr, name, sizeof name);
    ztVertex_GetVertex(nullptr, values);
    ztVertex_GetTexCoords(nullptr, values);
    ztTriangle_GetVertexIndices(nullptr, corners);
    EXPECT_EQ(ztBuild_NullHandleCalls(), before + 15);
    EXPECT_EQ(std::string(name, 4), "xxxx");
    EXPECT_EQ(values[0], 9.0f);
    EXPECT_EQ(corners[0], 9);
}

TEST(StandInNullHandles, BuilderToleratesThem) {
    EXPECT_EQ(ztBuild_AddMaterial(nullptr, "m"), -1);
    EXPECT_EQ(ztBuild_AddMesh(nullptr, "m", 0), nullptr);
    ztBuild_AddVertex(nullptr, 0, 0, 0, 0, 0);
    ztBuild_AddTriangle(nullptr, 0, 0, 0);
    ztBuild_OverrideMeshCount(nullptr, 3);
    ztBuild_OverrideVertexCount(nullptr, 3);
    ztBuild_OverrideTriangleCount(nullptr, 3);

    standin::ModelBuilder model;
    const ztMesh mesh = model.AddMesh("m");
    standin::ModelBuilder::AddVertex(mesh, 1, 2, 3);
    ztVertex_GetVertex(ztMesh_GetVertexAt(mesh, 0), nullptr);  // null destination
    ztVertex_GetTexCoords(ztMesh_GetVertexAt(mesh, 0), nullptr);
    ztMesh_GetName(mesh, nullptr, 10);
    EXPECT_EQ(ztMesh_GetVertexCount(mesh), 1);
}

struct NameCopyCase {
    const char* name;
    std::int32_t capacity;
    std::string expected;  // the whole 8-byte buffer afterwards, pre-filled with '#'
};

class NameCopy : public ::testing::TestWithParam<NameCopyCase> {};

TEST_P(NameCopy, WritesAtMostCapacity) {
    standin::ModelBuilder model;
    const ztMesh mesh = model.AddMesh(GetParam().name, model.AddMaterial(GetParam().name));
    char meshBuffer[8];
    char materialBuffer[8];
    std::memset(meshBuffer, '#', sizeof meshBuffer);
    std::memset(materialBuffer, '#', sizeof materialBuffer);
    ztMesh_GetName(mesh, meshBuffer, GetParam().capacity);
    ztMaterial_GetName(ztModel_GetMaterialAt(model.model(), 0), materialBuffer,
                       GetParam().capacity);
    EXPECT_EQ(std::string(meshBuffer, sizeof meshBuffer), GetParam().expected);
    EXPECT_EQ(std::string(materialBuffer, sizeof materialBuffer), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Capacities, NameCopy,
    ::testing::Values(NameCopyCase{"Hull", 8, std::string("Hull\0###", 8)},
                      NameCopyCase{"Hull", 5, std::string("Hull\0###", 8)},
                      NameCopyCase{"Hull", 4, "Hull####"},  // no room for the NUL
                      NameCopyCase{"Hull", 2, "Hu######"}, NameCopyCase{"Hull", 0, "########"},
                      NameCopyCase{"Hull", -1, "########"},
                      NameCopyCase{"Hull", std::numeric_limits<std::int32_t>::min(), "########"},
                      NameCopyCase{"", 3, std::string("\0#######", 8)}));

// The meshes of one name go first, in their order; the others keep theirs, and every
// handle still reaches its mesh.
TEST(StandInOrder, MeshesOfOneNameMoveFirst) {
    standin::ModelBuilder model;
    const ztMesh a = model.AddMesh("A");
    const ztMesh hull1 = model.AddMesh("Hull");
    const ztMesh b = model.AddMesh("B");
    const ztMesh hull2 = model.AddMesh("Hull");
    EXPECT_EQ(ztBuild_MoveMeshesFirst(model.model(), "Hull"), 2);
    const ztMesh expected[] = {hull1, hull2, a, b};
    for (std::int32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(ztModel_GetMeshAt(model.model(), i), expected[i]) << i;
    }
    EXPECT_EQ(ztBuild_MoveMeshesFirst(model.model(), "hull"), 0) << "names match exactly";
    EXPECT_EQ(ztBuild_MoveMeshesFirst(model.model(), nullptr), 0);
    EXPECT_EQ(ztBuild_MoveMeshesFirst(nullptr, "A"), 0);
    EXPECT_EQ(ztModel_GetMeshAt(model.model(), 0), hull1);
}

TEST(StandInCounts, OverridesChangeOnlyTheReportedCount) {
    standin::ModelBuilder model;
    const ztMesh mesh = model.AddMesh("m");
    standin::ModelBuilder::AddVertex(mesh, 1, 2, 3);
    standin::ModelBuilder::AddTriangle(mesh, 0, 0, 0);
    ztBuild_OverrideMeshCount(model.model(), -4);
    ztBuild_OverrideVertexCount(mesh, 1000);
    ztBuild_OverrideTriangleCount(mesh, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(ztModel_GetMeshCount(model.model()), -4);
    EXPECT_EQ(ztMesh_GetVertexCount(mesh), 1000);
    EXPECT_EQ(ztMesh_GetTriangleCount(mesh), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(ztModel_GetMeshAt(model.model(), 0), mesh);
    EXPECT_NE(ztMesh_GetVertexAt(mesh, 0), nullptr);
    EXPECT_EQ(ztMesh_GetVertexAt(mesh, 1), nullptr);
    EXPECT_EQ(ztMesh_GetTriangleAt(mesh, 1), nullptr);
}

TEST(StandInLifetime, DestroyFreesAndCounts) {
    const int before = ztBuild_DestroyCount();
    {
        standin::ModelBuilder owned;
        owned.AddMesh("m");
    }
    EXPECT_EQ(ztBuild_DestroyCount(), before + 1);

    standin::ModelBuilder released;
    const ztModel model = released.Release();
    EXPECT_EQ(released.model(), nullptr);
    EXPECT_EQ(ztBuild_IsLiveModel(model), 1);
    ztModel_Destroy(model);
    EXPECT_EQ(ztBuild_DestroyCount(), before + 2);
    EXPECT_EQ(ztBuild_IsLiveModel(model), 0);
    EXPECT_EQ(ztBuild_IsLiveModel(nullptr), 0);

    standin::ModelBuilder moved;
    standin::ModelBuilder target = std::move(moved);
    EXPECT_EQ(moved.model(), nullptr);
    EXPECT_NE(target.model(), nullptr);
    target = standin::ModelBuilder();
    EXPECT_EQ(ztBuild_DestroyCount(), before + 3);  // the model target held before
}

}  // namespace

}  // namespace cmp
