#include "mesh/mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <ostream>
#include <string>

#include "tests/mesh/mesh_test_support.h"
#include "tests/support/model_builder.h"

namespace cmp {

namespace {

// Extraction must never hand the model library a null handle: the stand-in counts them.
class Extraction : public ::testing::Test {
  protected:
    void SetUp() override { nullCallsBefore_ = ztBuild_NullHandleCalls(); }
    void TearDown() override { EXPECT_EQ(ztBuild_NullHandleCalls(), nullCallsBefore_); }

    MeshList Extract() {
        MeshList meshes;
        ExtractMeshes(model_.model(), meshes);
        return meshes;
    }

    standin::ModelBuilder model_;

  private:
    int nullCallsBefore_ = 0;
};

void AddTriangleMesh(ztMesh mesh) {
    standin::ModelBuilder::AddVertex(mesh, 0, 0, 0);
    standin::ModelBuilder::AddVertex(mesh, 1, 0, 0);
    standin::ModelBuilder::AddVertex(mesh, 0, 1, 0);
    standin::ModelBuilder::AddTriangle(mesh, 0, 1, 2);
}

TEST_F(Extraction, MeshesInHostOrderWithHardpointFlags) {
    const int material = model_.AddMaterial("Steel");
    for (const char* name : {"Body", "HpFixed01", "hpThing"}) {
        AddTriangleMesh(model_.AddMesh(name, material));
    }
    const MeshList meshes = Extract();
    ASSERT_EQ(meshes.size(), 3u);
    const struct {
        const char* name;
        bool isHardpoint;
    } expected[] = {{"Body", false}, {"HpFixed01", true}, {"hpThing", true}};
    for (std::size_t i = 0; i < meshes.size(); ++i) {
        EXPECT_STREQ(meshes[i].meshName, expected[i].name);
        EXPECT_STREQ(meshes[i].materialName, "Steel");
        EXPECT_EQ(meshes[i].isHardpoint, expected[i].isHardpoint) << expected[i].name;
        EXPECT_EQ(meshes[i].vertices.size(), 3u);
        EXPECT_EQ(meshes[i].GetTriangleCount(), 1u);
        EXPECT_EQ(meshes[i].triangles, (std::vector<std::uint16_t>{0, 1, 2}));
    }
}

struct PositionCase {
    float host[3];
    std::uint32_t stored[3];
};

class PositionConversion : public ::testing::TestWithParam<PositionCase> {};

// One float multiplication by the scale, y and z by its negation; not a division by 92.
TEST_P(PositionConversion, StoredBits) {
    standin::ModelBuilder model;
    const ztMesh mesh = model.AddMesh("Part");
    const PositionCase& c = GetParam();
    standin::ModelBuilder::AddVertex(mesh, c.host[0], c.host[1], c.host[2], 0.25f, 0.75f);
    MeshList meshes;
    ExtractMeshes(model.model(), meshes);
    ASSERT_EQ(meshes.size(), 1u);
    ASSERT_EQ(meshes[0].vertices.size(), 1u);
    const ExportVertex& vertex = meshes[0].vertices[0];
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Bits(vertex.position[i]), c.stored[i]) << "component " << i;
    }
    EXPECT_EQ(vertex.u, 0.25f);
    EXPECT_EQ(vertex.v, 0.75f);
    // No triangle uses the vertex: its normal stays upward.
    EXPECT_EQ(Bits(vertex.normal[0]), 0u);
    EXPECT_EQ(Bits(vertex.normal[1]), 0x3F800000u);
    EXPECT_EQ(Bits(vertex.normal[2]), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Positions, PositionConversion,
    ::testing::Values(PositionCase{{1.0f, 2.0f, 3.0f}, {0x3C321643, 0xBCB21643, 0xBD0590B2}},
                      PositionCase{{92.0f, -46.0f, 0.0f}, {0x3F800000, 0x3F000000, 0x80000000}},
                      PositionCase{{5.0f, 0.0f, -0.0f}, {0x3D5E9BD4, 0x80000000, 0x00000000}},
                      PositionCase{{-5.0f, 5.0f, -5.0f}, {0xBD5E9BD4, 0xBD5E9BD4, 0x3D5E9BD4}}));

// Normals come from the converted positions: negating y flips this face to -z.
TEST_F(Extraction, NormalsFromConvertedPositions) {
    AddTriangleMesh(model_.AddMesh("Part"));
    const MeshList meshes = Extract();
    ASSERT_EQ(meshes[0].faceNormals.size(), 1u);
    EXPECT_EQ(Bits(meshes[0].faceNormals[0].z), 0xBF800000u);
    for (const ExportVertex& vertex : meshes[0].vertices) {
        EXPECT_EQ(Bits(vertex.normal[2]), 0xBF800000u);
    }
}

TEST_F(Extraction, VerticesWithoutTriangles) {
    const ztMesh mesh = model_.AddMesh("Cloud");
    standin::ModelBuilder::AddVertex(mesh, 1, 2, 3);
    standin::ModelBuilder::AddVertex(mesh, 4, 5, 6);
    const MeshList meshes = Extract();
    ASSERT_EQ(meshes.size(), 1u);
    EXPECT_EQ(meshes[0].vertices.size(), 2u);
    EXPECT_EQ(meshes[0].vertices.size(), 2u);
    EXPECT_EQ(meshes[0].GetTriangleCount(), 0u);
    EXPECT_TRUE(meshes[0].triangles.empty());
    EXPECT_TRUE(meshes[0].faceNormals.empty());
}

TEST_F(Extraction, LongNamesAreCutAndTerminated) {
    const std::string longName(250, 'n');
    const std::string longMaterial(199, 'm');
    AddTriangleMesh(model_.AddMesh(longName.c_str(), model_.AddMaterial(longMaterial.c_str())));
    const MeshList meshes = Extract();
    EXPECT_EQ(std::string(meshes[0].meshName), longName.substr(0, 199));
    EXPECT_EQ(std::string(meshes[0].materialName), longMaterial);
    EXPECT_EQ(meshes[0].meshName[NameFieldSize - 1], '\0');
    EXPECT_EQ(meshes[0].materialName[NameFieldSize - 1], '\0');
}

// A mesh whose material index names no material: the library answers with a null
// handle, which extraction does not pass on.
TEST_F(Extraction, MissingMaterialLeavesNameEmpty) {
    model_.AddMaterial("Only");
    for (const int materialIndex : {-1, 1, 1000, std::numeric_limits<int>::min()}) {
        AddTriangleMesh(model_.AddMesh("Part", materialIndex));
    }
    const MeshList meshes = Extract();
    ASSERT_EQ(meshes.size(), 4u);
    for (const ExportMesh& mesh : meshes) {
        EXPECT_STREQ(mesh.materialName, "");
        EXPECT_EQ(NameId(mesh.materialName), 0u);
    }
}

TEST(ExtractMeshes, NullModelGivesNoMeshes) {
    const int nullCallsBefore = ztBuild_NullHandleCalls();
    MeshList meshes;
    ExtractMeshes(nullptr, meshes);
    EXPECT_TRUE(meshes.empty());
    EXPECT_EQ(ztBuild_NullHandleCalls(), nullCallsBefore);
}

struct LyingCountCase {
    const char* name;
    std::int32_t meshCount, vertexCount, triangleCount;  // reported; -2: as stored
    std::size_t meshes, vertices, triangles;             // extracted
    bool storable;
};

void PrintTo(const LyingCountCase& c, std::ostream* os) {
    *os << c.name;
}

class LyingHost : public ::testing::TestWithParam<LyingCountCase> {};

// The host reports counts other than what it holds; extraction reads only handles it
// gets, takes negative counts as 0 and caps absurd ones.
TEST_P(LyingHost, CountsAreTakenSafely) {
    const LyingCountCase& c = GetParam();
    const int nullCallsBefore = ztBuild_NullHandleCalls();
    standin::ModelBuilder model;
    const ztMesh mesh = model.AddMesh("Part");
    AddTriangleMesh(mesh);
    if (c.meshCount != -2) {
        ztBuild_OverrideMeshCount(model.model(), c.meshCount);
    }
    if (c.vertexCount != -2) {
        ztBuild_OverrideVertexCount(mesh, c.vertexCount);
    }
    if (c.triangleCount != -2) {
        ztBuild_OverrideTriangleCount(mesh, c.triangleCount);
    }
    MeshList meshes;
    ExtractMeshes(model.model(), meshes);
    EXPECT_EQ(ztBuild_NullHandleCalls(), nullCallsBefore);
    ASSERT_EQ(meshes.size(), c.meshes);
    if (c.meshes > 0) {
        const ExportMesh& first = meshes[0];
        EXPECT_EQ(first.vertices.size(), c.vertices);
        EXPECT_EQ(first.vertices.size(), c.vertices);
        EXPECT_EQ(first.triangles.size(), 3 * c.triangles);
        EXPECT_EQ(first.GetTriangleCount(), c.triangles);
        EXPECT_EQ(first.faceNormals.size(), c.triangles);
    }
    // Meshes the host claims but does not give are empty records.
    for (std::size_t i = 1; i < meshes.size(); ++i) {
        EXPECT_TRUE(meshes[i].vertices.empty());
        EXPECT_STREQ(meshes[i].meshName, "");
    }
    EXPECT_EQ(CheckFormatLimits(meshes).ok(), c.storable);
}

constexpr std::int32_t MaxInt = std::numeric_limits<std::int32_t>::max();
constexpr std::size_t Cap = MaxHostElementCount;

INSTANTIATE_TEST_SUITE_P(
    Counts, LyingHost,
    ::testing::Values(LyingCountCase{"AsStored", -2, -2, -2, 1, 3, 1, true},
                      LyingCountCase{"NegativeMeshCount", -3, -2, -2, 0, 0, 0, true},
                      LyingCountCase{"NegativeVertexCount", -2, -5, -2, 1, 0, 1, false},
                      LyingCountCase{"NegativeTriangleCount", -2, -2, -1, 1, 3, 0, true},
                      LyingCountCase{"MoreMeshesThanHeld", 4, -2, -2, 4, 3, 1, true},
                      LyingCountCase{"MoreVerticesThanHeld", -2, 10, -2, 1, 10, 1, true},
                      LyingCountCase{"HugeVertexCount", -2, MaxInt, -2, 1, Cap, 1, false},
                      LyingCountCase{"HugeTriangleCount", -2, -2, MaxInt, 1, 3, Cap, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Extraction, CornerBeyondVerticesIsRefusedByTheFormatCheck) {
    const ztMesh mesh = model_.AddMesh("Hull");
    AddTriangleMesh(mesh);
    standin::ModelBuilder::AddTriangle(mesh, 0, 2, 3);
    const MeshList meshes = Extract();
    EXPECT_EQ(Bits(meshes[0].faceNormals[1].x), 0u);
    EXPECT_EQ(Bits(meshes[0].faceNormals[1].y), 0u);
    EXPECT_EQ(Bits(meshes[0].faceNormals[1].z), 0u);
    const Status status = CheckFormatLimits(meshes);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.message(), "mesh \"Hull\" uses vertex 3 but has 3 vertices (triangle 1)");
}

TEST_F(Extraction, NonFiniteValuesAreRefusedByTheFormatCheck) {
    constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float Inf = std::numeric_limits<float>::infinity();
    const struct {
        float x, u;
        bool flagged;
    } cases[] = {{0.0f, 0.0f, false},
                 {NaN, 0.0f, true},
                 {Inf, 0.0f, true},
                 {0.0f, -Inf, true},
                 {std::numeric_limits<float>::max(), 0.0f, false}};
    for (const auto& c : cases) {
        const ztMesh mesh = model_.AddMesh("Part");
        AddTriangleMesh(mesh);
        standin::ModelBuilder::AddVertex(mesh, c.x, 0.0f, 0.0f, c.u, 0.0f);
    }
    const MeshList meshes = Extract();
    ASSERT_EQ(meshes.size(), std::size(cases));
    for (std::size_t i = 0; i < meshes.size(); ++i) {
        EXPECT_EQ(CheckFormatLimits({meshes[i]}).ok(), !cases[i].flagged) << "mesh " << i;
        for (const ExportVertex& vertex : meshes[i].vertices) {
            for (const float component : vertex.normal) {
                EXPECT_FALSE(std::isnan(component)) << "mesh " << i;
            }
        }
    }
}

}  // namespace

}  // namespace cmp
