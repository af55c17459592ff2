#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/tree/mesh_fixtures.h"
#include "tree/hardpoints.h"

namespace cmp {

namespace {

std::uint32_t Bits(float value) {
    return std::bit_cast<std::uint32_t>(value);
}

std::array<std::uint32_t, 3> Bits(const Vector3& v) {
    return {Bits(v.x), Bits(v.y), Bits(v.z)};
}

std::array<std::uint32_t, 9> Bits(const std::array<float, 9>& m) {
    std::array<std::uint32_t, 9> bits;
    for (std::size_t i = 0; i < 9; ++i) {
        bits[i] = Bits(m[i]);
    }
    return bits;
}

TEST(HardpointGeometryTest, PositionIsTheMeanOfTheFirstVertices) {
    struct Case {
        const char* what;
        ExportMesh mesh;
        Vector3 expected;
    };
    const std::vector<Case> cases = {
        {"three corners", MakeMesh("Hp", {{0, 0, 0}, {3, 0, 0}, {0, 3, 0}}), {1, 1, 0}},
        {"only the first three count",
         MakeMesh("Hp", {{0, 0, 0}, {3, 0, 0}, {0, 3, 0}, {9, 9, 9}}),
         {1, 1, 0}},
        // 5 * 0.333333343f rounds up where 5 / 3.0f rounds down.
        {"times the float third, not divided by three",
         MakeMesh("Hp", {{5, 0, 0}, {0, 0, 0}, {0, 0, 0}}),
         {std::bit_cast<float>(0x3FD55556u), 0, 0}},
        {"(a + b) + c in float",
         MakeMesh("Hp", {{1e8f, 0, 0}, {-1e8f, 0, 0}, {1, 0, 0}}),
         {0.333333343f, 0, 0}},
        {"two vertices", MakeMesh("Hp", {{1, 2, 3}, {3, 4, 6}}), {2, 3, 4.5f}},
        {"one vertex", MakeMesh("Hp", {{1, -2, -0.0f}}), {1, -2, -0.0f}},
        {"no vertex", MakeMesh("Hp", {}), {0, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Bits(HardpointPosition(c.mesh)), Bits(c.expected)) << c.what;
    }
}

TEST(HardpointGeometryTest, OrientationRowsFromTheNearestFaceNormal) {
    struct Case {
        Vector3 normal;
        std::array<float, 9> expected;
    };
    const float n = -0.0f;
    const std::vector<Case> cases = {
        {{0, 1, 0}, {1, 0, 0, n, 1, 0, 0, n, 1}},
        {{1, 0, 0}, {0, 1, 0, -1, 0, 0, 0, n, 1}},
        {{0, 0, 1}, {1, 0, 0, n, 0, 1, 0, -1, 0}},
        {{0, 0, -1}, {1, 0, n, n, 0, -1, 0, 1, 0}},
        {{0.48f, 0.64f, 0.6f},
         {0.64f, 0.48f, 0, -0.48f, 0.64f, 0.6f, 0.48f * 0.6f, -(0.64f * 0.6f),
          0.48f * 0.48f + 0.64f * 0.64f}},
        // 0.99999f lies just below the double bound 0.99999: still the first column.
        {{0.001f, 0.002f, 0.99999f},
         {0.002f, 0.001f, 0, -0.001f, 0.002f, 0.99999f, 0.001f * 0.99999f, -(0.002f * 0.99999f),
          0.001f * 0.001f + 0.002f * 0.002f}},
        {{0.001f, 0.002f, -1.0f},
         {0.002f * 0.002f + 1.0f, 0.001f * 0.002f, -0.001f, -0.001f, 0.002f, -1.0f, 0, 1.0f,
          0.002f}},
    };
    for (const Case& c : cases) {
        const MeshList meshes = {FaceAt("Body", {0, 0, 0}, c.normal)};
        const std::array<float, 9> m = HardpointOrientation(meshes, {0, 0, 0}, "Gun");
        EXPECT_EQ(Bits(m), Bits(c.expected))
            << "normal " << c.normal.x << " " << c.normal.y << " " << c.normal.z;
    }
    // The worked rows of the tilted normal, to the precision they are given in.
    const std::array<float, 9> tilted =
        HardpointOrientation({FaceAt("Body", {0, 0, 0}, {0.48f, 0.64f, 0.6f})}, {}, "Gun");
    const std::array<float, 9> worked = {0.64f, 0.48f,  0,       -0.48f, 0.64f,
                                         0.6f,  0.288f, -0.384f, 0.64f};
    for (std::size_t i = 0; i < 9; ++i) {
        EXPECT_NEAR(tilted[i], worked[i], 1e-6) << "m" << i;
    }
}

TEST(HardpointGeometryTest, WhichFaceIsNearest) {
    const Vector3 up{0, 1, 0}, side{1, 0, 0}, back{0, 0, -1};
    const std::array<float, 9> fromUp = HardpointOrientation({FaceAt("A", {}, up)}, {}, "Gun");
    const std::array<float, 9> fromSide = HardpointOrientation({FaceAt("A", {}, side)}, {}, "Gun");

    ExportMesh badCorner = FaceAt("Bad", {0, 0, 0.5f}, back);
    badCorner.triangles = {0, 1, 7};
    ExportMesh countBeyondArray = FaceAt("Short", {0, 0, 0.5f}, back);
    countBeyondArray.vertices.pop_back();  // corner 2 lies past the vertices
    ExportMesh twoFaces = MakeMesh("Two", {{-1, 0, 3}, {1, 0, 3}, {0, 0, 3}, {0, 0, 1}},
                                   {0, 1, 2, 0, 1, 3}, {up, side});

    struct Case {
        const char* what;
        MeshList meshes;
        std::string name;
        std::array<float, 9> expected;
    };
    const std::array<float, 9> identity = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const std::vector<Case> cases = {
        {"nearer face wins",
         {FaceAt("A", {0, 0, 4}, up), FaceAt("B", {0, 0, 2}, side)},
         "Gun",
         fromSide},
        {"later triangle of a mesh", {twoFaces}, "Gun", fromSide},
        {"a tie keeps the earlier mesh",
         {FaceAt("A", {0, 0, 2}, up), FaceAt("B", {0, 0, -2}, side)},
         "Gun",
         fromUp},
        {"hardpoint meshes are no candidates",
         {FaceAt("A", {0, 0, 2}, up), FaceAt("Hp_Fixed_X", {0, 0, 1}, side)},
         "Gun",
         fromUp},
        {"a zero normal is no candidate",
         {FaceAt("A", {0, 0, 2}, up), FaceAt("Flat", {0, 0, 1}, {0, 0, 0})},
         "Gun",
         fromUp},
        {"a corner outside the mesh is no candidate",
         {FaceAt("A", {0, 0, 2}, up), badCorner},
         "Gun",
         fromUp},
        {"a count beyond the vertex array is never followed",
         {FaceAt("A", {0, 0, 2}, up), countBeyondArray},
         "Gun",
         fromUp},
        {"no face at all", {MakeMesh("Empty", {{0, 0, 0}})}, "Gun", identity},
        {"only faces 999999 away", {FaceAt("Far", {999999.0f, 0, 0}, up)}, "Gun", identity},
        {"a face just nearer than 999999", {FaceAt("Far", {999998.0f, 0, 0}, up)}, "Gun", fromUp},
        {"engines face forward", {FaceAt("A", {}, up)}, "HpEngine01", identity},
        {"mounts, in any case", {FaceAt("A", {}, up)}, "hpMOUNT", identity},
        {"thrusters", {FaceAt("A", {}, up)}, "HPTHRUSTER", identity},
        {"one letter short of an engine", {FaceAt("A", {}, up)}, "HpEngin", fromUp},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Bits(HardpointOrientation(c.meshes, {0, 0, 0}, c.name)), Bits(c.expected))
            << c.what;
    }
}

}  // namespace

}  // namespace cmp
