#include "tree/tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "tests/tree/mesh_fixtures.h"
#include "tests/tree/reference_nearest_face.h"
#include "tests/utf/test_trees.h"

namespace cmp {

namespace {

TEST(HardpointsTest, ParsesKindAndNameByPosition) {
    struct Case {
        const char* meshName;
        std::optional<HardpointKind> kind;
        const char* name;
    };
    const std::vector<Case> cases = {
        {"Hp_Fixed_HpEngine01", HardpointKind::Fixed, "HpEngine01"},
        {"hp-revolute-Door", HardpointKind::Revolute, "Door"},
        {"HP_FIXED_HpMount02", HardpointKind::Fixed, "HpMount02"},
        {"hP REVOLUTE:Hinge Left", HardpointKind::Revolute, "Hinge Left"},
        {"Hp_FixedRevolute", HardpointKind::Fixed, "evolute"},  // character 8 is skipped
        {"Hp_Fixed", HardpointKind::Fixed, ""},
        {"Hp_Fixed_", HardpointKind::Fixed, ""},
        {"Hp_Revolute", HardpointKind::Revolute, ""},
        {"Hp_Fixe", std::nullopt, ""},
        {"Hp_Weapon_Gun", std::nullopt, ""},
        {"HpFixed_Gun", std::nullopt, ""},
        {"Body_Fixed_Gun", std::nullopt, ""},
        {"H", std::nullopt, ""},
        {"", std::nullopt, ""},
    };
    for (const Case& c : cases) {
        const std::optional<HardpointName> parsed = ReadHardpointName(MakeMesh(c.meshName, {}));
        ASSERT_EQ(parsed.has_value(), c.kind.has_value()) << c.meshName;
        if (parsed) {
            EXPECT_EQ(parsed->kind, *c.kind) << c.meshName;
            EXPECT_EQ(parsed->name, c.name) << c.meshName;
        }
    }
}

// Whether a mesh is a hardpoint is the flag extraction set from its name, never the name
// read again: a record not flagged is no hardpoint, whatever it is called.
TEST(HardpointsTest, OnlyMeshesFlaggedAsHardpointsAreRead) {
    ExportMesh unflagged = MakeMesh("Hp_Fixed_Gun", {{1, 2, 3}});
    unflagged.isHardpoint = false;
    const MeshList meshes = {unflagged, MakeMesh("Hp_Fixed_Gun", {{4, 5, 6}})};
    EXPECT_FALSE(ReadHardpointName(unflagged));
    const std::vector<Hardpoint> read = ReadHardpoints(meshes);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].position.x, 4.0f);
}

// A mesh's name is read from its record, which need not end in a 0 byte: the whole
// field is the name then, and nothing past it is read.
TEST(HardpointsTest, NamesFillingTheWholeFieldAreReadWithinIt) {
    for (const char* start : {"Hp_Fixed_", "hp_revolute_", "Body_"}) {
        ExportMesh mesh;
        std::fill(std::begin(mesh.meshName), std::end(mesh.meshName), 'x');
        std::copy(start, start + std::strlen(start), mesh.meshName);
        mesh.isHardpoint = IsHardpointName(mesh.meshName);  // as extraction sets it
        ASSERT_EQ(MeshNameOf(mesh).size(), sizeof mesh.meshName) << start;
        const std::optional<HardpointName> parsed = ReadHardpointName(mesh);
        ASSERT_EQ(parsed.has_value(), start[0] != 'B') << start;
        if (parsed) {
            EXPECT_EQ(parsed->name, std::string(sizeof mesh.meshName - std::strlen(start), 'x'))
                << start;
        }
    }
}

Bytes Floats(std::initializer_list<float> values) {
    Bytes bytes;
    for (float value : values) {
        AppendF32(bytes, value);
    }
    return bytes;
}

TEST(HardpointsTest, BranchFollowsTheListWithFixedLeaves) {
    const MeshList meshes = {
        FaceAt("Body", {0.0f, 0.0f, 5.0f}, {1.0f, 0.0f, 0.0f}),
        MakeMesh("Hp_Fixed_Gun", {{0, 0, 0}, {3, 0, 0}, {0, 3, 0}}),
        MakeMesh("hp_revolute_Door", {{1, 1, 1}}),
        MakeMesh("Hp_Weapon_Laser", {{0, 0, 0}}),
        MakeMesh("Hp_Fixed_Gun", {}),
    };
    NodeTree tree;
    const NodeHandle hardpoints = tree.InsertNode(NodeHandle(), "Hardpoints");
    AddHardpoints(tree, hardpoints, meshes);

    std::vector<std::string> registry;
    for (NodeHandle node : tree.Registry()) {
        registry.push_back(tree.GetName(node));
    }
    EXPECT_EQ(registry,
              (std::vector<std::string>{"Hardpoints", "Fixed", "Revolute", "Gun", "Orientation",
                                        "Position", "Door", "Axis", "Max", "Min", "Orientation",
                                        "Position", "Gun", "Orientation", "Position"}));

    const Bytes towardsX = Floats({0, 1, 0, -1, 0, 0, 0, -0.0f, 1});
    const Bytes identity = Floats({1, 0, 0, 0, 1, 0, 0, 0, 1});
    const std::vector<FlatNode> expected = {
        {0, "Hardpoints", {}},
        {1, "Fixed", {}},
        {2, "Gun", {}},
        {3, "Orientation", towardsX},
        {3, "Position", Floats({1, 1, 0})},
        {2, "Gun", {}},
        {3, "Orientation", towardsX},
        {3, "Position", Floats({0, 0, 0})},
        {1, "Revolute", {}},
        {2, "Door", {}},
        {3, "Axis", Floats({0, 1, 0})},
        {3, "Max", {0xAA, 0x0E, 0x49, 0x3F, 0, 0, 0, 0}},
        {3, "Min", {0xF9, 0x0F, 0x49, 0xBF, 0, 0, 0, 0}},
        {3, "Orientation", towardsX},
        {3, "Position", Floats({1, 1, 1})},
    };
    EXPECT_EQ(Flatten(tree), expected);
}

// Whether the faces are scanned or indexed depends on how many hardpoints search: the
// orientations must be those of the reference scan on either side of that choice, with
// hardpoints that keep the model's axes (and search for nothing) mixed in.
TEST(HardpointsTest, OrientationsMatchTheScanForFewAndManySearches) {
    std::mt19937 random(20261208);
    std::uniform_real_distribution<float> coordinate(-10.0f, 10.0f);
    for (const int searching : {1, 2, 3, 4, 5, 40}) {
        MeshList meshes;
        for (int f = 0; f < 200; ++f) {
            const Vector3 normal = {coordinate(random), coordinate(random), coordinate(random)};
            meshes.push_back(FaceAt("Body", {coordinate(random), coordinate(random), 0}, normal));
        }
        for (int h = 0; h < searching; ++h) {
            const Vector3 at = {coordinate(random), coordinate(random), coordinate(random)};
            meshes.push_back(MakeMesh("Hp_Fixed_Gun" + std::to_string(h), {at}));
            meshes.push_back(MakeMesh("Hp_Fixed_HpEngine" + std::to_string(h), {at}));
        }
        const std::vector<CandidateFace> faces = CandidateFaces(meshes);
        NodeTree tree;
        AddHardpoints(tree, tree.InsertNode(NodeHandle(), "Hardpoints"), meshes);
        std::size_t checked = 0;
        for (NodeHandle node : tree.Registry()) {
            const NodeHandle parent = tree.GetParent(node);
            if (tree.GetName(node) != "Orientation" || tree.GetName(parent).rfind("Gun", 0) != 0) {
                continue;
            }
            const ExportMesh& hardpoint = meshes[200 + 2 * checked++];
            const std::array<float, 9> expected =
                OrientationFromFace(ScanForNearestFace(faces, HardpointPosition(hardpoint)));
            const std::span<const std::uint8_t> bytes = tree.GetPayload(node)->bytes;
            EXPECT_EQ(Bytes(bytes.begin(), bytes.end()),
                      Floats({expected[0], expected[1], expected[2], expected[3], expected[4],
                              expected[5], expected[6], expected[7], expected[8]}))
                << searching << " searching hardpoints, " << tree.GetName(parent);
        }
        EXPECT_EQ(checked, static_cast<std::size_t>(searching));
    }
}

TEST(HardpointsTest, NoHardpointMeshesLeavesTwoEmptyKinds) {
    const MeshList meshes = {FaceAt("Body", {0, 0, 0}, {0, 0, 1})};
    NodeTree tree;
    AddHardpoints(tree, tree.InsertNode(NodeHandle(), "Hardpoints"), meshes);
    const std::vector<FlatNode> expected = {
        {0, "Hardpoints", {}}, {1, "Fixed", {}}, {1, "Revolute", {}}};
    EXPECT_EQ(Flatten(tree), expected);
    for (NodeHandle node : tree.Registry()) {
        EXPECT_EQ(tree.GetPayload(node), nullptr);
    }
}

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

TEST(HardpointsTest, PositionIsTheMeanOfTheFirstVertices) {
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

// The orientation ReadHardpoints gives a hardpoint named `name` at the origin, placed
// after `meshes`.
std::array<float, 9> OrientationAtOrigin(MeshList meshes, const std::string& name) {
    meshes.push_back(MakeMesh("Hp_Fixed_" + name, {{0, 0, 0}}));
    return ReadHardpoints(meshes).back().orientation;
}

TEST(HardpointsTest, OrientationRowsFromTheNearestFaceNormal) {
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
        const std::array<float, 9> m = OrientationAtOrigin(meshes, "Gun");
        EXPECT_EQ(Bits(m), Bits(c.expected))
            << "normal " << c.normal.x << " " << c.normal.y << " " << c.normal.z;
    }
    // The worked rows of the tilted normal, to the precision they are given in.
    const std::array<float, 9> tilted =
        OrientationAtOrigin({FaceAt("Body", {0, 0, 0}, {0.48f, 0.64f, 0.6f})}, "Gun");
    const std::array<float, 9> worked = {0.64f, 0.48f,  0,       -0.48f, 0.64f,
                                         0.6f,  0.288f, -0.384f, 0.64f};
    for (std::size_t i = 0; i < 9; ++i) {
        EXPECT_NEAR(tilted[i], worked[i], 1e-6) << "m" << i;
    }
}

TEST(HardpointsTest, WhichFaceIsNearest) {
    const Vector3 up{0, 1, 0}, side{1, 0, 0}, back{0, 0, -1};
    const std::array<float, 9> fromUp = OrientationAtOrigin({FaceAt("A", {}, up)}, "Gun");
    const std::array<float, 9> fromSide = OrientationAtOrigin({FaceAt("A", {}, side)}, "Gun");

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
        EXPECT_EQ(Bits(OrientationAtOrigin(c.meshes, c.name)), Bits(c.expected)) << c.what;
    }
}

// For few searches and for many: a record whose normals were never generated offers no
// face (and none of its normals is read), and a face exactly 999999 away is not near
// enough, so every hardpoint keeps the identity.
TEST(HardpointsTest, NoFaceNearEnoughGivesTheIdentity) {
    const ExportMesh withoutNormals =
        MakeMesh("Bare", {{-1, 0, 1}, {1, 0, 1}, {0, 0, 1}}, {0, 1, 2});
    const std::array<float, 9> identity = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (const std::size_t searching : {std::size_t{1}, NearestFaceIndex::SearchesWorthATree}) {
        MeshList meshes = {FaceAt("Far", {999999.0f, 0, 0}, {1, 0, 0}), withoutNormals};
        for (std::size_t h = 0; h < searching; ++h) {
            meshes.push_back(MakeMesh("Hp_Fixed_Gun" + std::to_string(h), {{0, 0, 0}}));
        }
        for (const Hardpoint& hardpoint : ReadHardpoints(meshes)) {
            EXPECT_EQ(Bits(hardpoint.orientation), Bits(identity))
                << searching << " searching, " << hardpoint.name;
        }
    }
}

}  // namespace

}  // namespace cmp
