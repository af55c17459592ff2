#include "tree/hardpoints.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/tree/mesh_fixtures.h"
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
