#include "tree/hardpoints.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "tests/tree/mesh_fixtures.h"
#include "tests/tree/reference_nearest_face.h"
#include "tests/utf/test_trees.h"
#include "tree/mesh_name.h"
#include "tree/nearest_face.h"

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
        {nullptr, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        const std::string label = c.meshName ? c.meshName : "(null)";
        const std::optional<HardpointName> parsed = ParseHardpointName(c.meshName);
        ASSERT_EQ(parsed.has_value(), c.kind.has_value()) << label;
        if (parsed) {
            EXPECT_EQ(parsed->kind, *c.kind) << label;
            EXPECT_EQ(parsed->name, c.name) << label;
        }
    }
}

// A mesh's name is read from its record, which need not end in a 0 byte: the whole
// field is the name then, and nothing past it is read.
TEST(HardpointsTest, NamesFillingTheWholeFieldAreReadWithinIt) {
    for (const char* start : {"Hp_Fixed_", "hp_revolute_", "Body_"}) {
        ExportMesh mesh;
        std::fill(std::begin(mesh.meshName), std::end(mesh.meshName), 'x');
        std::copy(start, start + std::strlen(start), mesh.meshName);
        const std::string_view name = MeshNameOf(mesh);
        ASSERT_EQ(name.size(), sizeof mesh.meshName) << start;
        const std::optional<HardpointName> parsed = ParseHardpointName(name);
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

}  // namespace

}  // namespace cmp
