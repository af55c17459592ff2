#include "tree/tree.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"
#include "tests/tree/mesh_fixtures.h"
#include "tests/utf/test_trees.h"

namespace cmp {

namespace {

namespace fs = std::filesystem;

std::vector<std::string> RegistryNames(const NodeTree& tree) {
    std::vector<std::string> names;
    for (NodeHandle node : tree.Registry()) {
        names.push_back(tree.GetName(node));
    }
    return names;
}

const Payload* PayloadOf(const NodeTree& tree, const std::string& name) {
    for (NodeHandle node : tree.Registry()) {
        if (tree.GetName(node) == name) {
            return tree.GetPayload(node);
        }
    }
    return nullptr;
}

// The bytes of the first node of this name; a failure when it has no payload.
Bytes BytesOf(const NodeTree& tree, const std::string& name) {
    const Payload* payload = PayloadOf(tree, name);
    if (!payload) {
        ADD_FAILURE() << "no payload on " << name;
        return {};
    }
    return Bytes(payload->bytes.begin(), payload->bytes.end());
}

Bytes Text(const std::string& text) {
    Bytes bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

TEST(CompoundLayoutTest, NodesAndLeavesOfAModel) {
    const MeshList meshes = {FaceAt("Ship", {0, 0, 0}, {0, 1, 0}),
                             MakeMesh("Hp_Fixed_Gun", {{0, 0, 0}}), MakeMesh("Hull", {})};
    NodeTree tree;
    BuildCompoundLayout(tree, meshes, {1, 2, 3});

    EXPECT_EQ(RegistryNames(tree),
              (std::vector<std::string>{
                  "\\",         "VMeshLibrary", "Ship.lod0.vms", "VMeshData",   "Cmpnd",
                  "Root",       "File name",    "Index",         "Object name", "Ship.3db",
                  "Hardpoints", "Fixed",        "Revolute",      "Gun",         "Orientation",
                  "Position",   "MultiLevel",   "Level0",        "VMeshPart",   "VMeshRef"}));
    std::vector<int> depths;
    for (const FlatNode& node : Flatten(tree)) {
        depths.push_back(node.depth);
    }
    EXPECT_EQ(depths,
              (std::vector<int>{0, 1, 2, 3, 1, 2, 3, 3, 3, 1, 2, 3, 4, 5, 5, 3, 2, 3, 4, 5}));

    EXPECT_EQ(BytesOf(tree, "VMeshData"), (Bytes{1, 2, 3}));
    EXPECT_EQ(BytesOf(tree, "File name"), Text("Ship.3db"));
    EXPECT_EQ(BytesOf(tree, "Index"), Bytes(8, 0));
    EXPECT_EQ(BytesOf(tree, "Object name"), (Bytes{0x52, 0x6F, 0x6F, 0x74, 0x00}));
    for (const char* branch : {"\\", "VMeshLibrary", "Ship.lod0.vms", "Cmpnd", "Root", "Ship.3db",
                               "Hardpoints", "MultiLevel", "Level0", "VMeshPart"}) {
        EXPECT_EQ(PayloadOf(tree, branch), nullptr) << branch;
    }
}

TEST(CompoundLayoutTest, MeshReferenceRecord) {
    const MeshList meshes = {MakeMesh("Ship", {}), MakeMesh("A", {}), MakeMesh("hP_x", {}),
                             MakeMesh("B", {})};
    NodeTree tree;
    BuildCompoundLayout(tree, meshes, {});
    Bytes expected = {0x3C, 0, 0, 0};
    AppendU32(expected, NameId("Ship.lod0.vms"));
    expected.resize(16, 0);
    expected.insert(expected.end(), {0, 0, 3, 0});
    expected.resize(60, 0);
    EXPECT_EQ(BytesOf(tree, "VMeshRef"), expected);

    // Letter case changes the node names, not the identifier.
    EXPECT_EQ(MeshRefRecord("SHIP.lod0.vms", 3), MeshRefRecord("ship.lod0.vms", 3));
    // Only the low 16 bits of the count reach offset 18.
    EXPECT_EQ(LoadU32(MeshRefRecord("x", 0x12345).data() + 16), 0x23450000u);
}

TEST(CompoundLayoutTest, CountsMeshesByNamePrefix) {
    EXPECT_EQ(CountNonHardpointMeshes({}), 0);
    const MeshList meshes = {MakeMesh("Hp", {}), MakeMesh("hP", {}),  MakeMesh("H", {}),
                             MakeMesh("", {}),   MakeMesh("xhp", {}), MakeMesh("HPgun", {})};
    EXPECT_EQ(CountNonHardpointMeshes(meshes), 3);
}

TEST(CompoundLayoutTest, BaseNameComesFromTheFirstMeshWhateverItIs) {
    struct Case {
        std::string baseName;
        std::string entryName;
        std::string modelFileName;
    };
    const std::string longest(HostNameCapacity, 'x');
    const std::vector<Case> cases = {
        {"Hp_Fixed_Gun", "Hp_Fixed_Gun.lod0.vms", "Hp_Fixed_Gun.3db"},
        {"", ".lod0.vms", ".3db"},
        {std::string(190, 'y'), std::string(190, 'y') + ".lod0.vms",
         std::string(190, 'y') + ".3db"},
        // Nothing is cut from names longer than the old fixed buffers allowed.
        {longest, longest + ".lod0.vms", longest + ".3db"},
    };
    for (const Case& c : cases) {
        NodeTree tree;
        BuildCompoundLayout(tree, {MakeMesh(c.baseName, {{0, 0, 0}})}, {});
        const std::vector<std::string> names = RegistryNames(tree);
        EXPECT_EQ(names[2], c.entryName);
        EXPECT_EQ(names[9], c.modelFileName);
        EXPECT_EQ(BytesOf(tree, "File name"), Text(c.modelFileName));
        Bytes reference = MeshRefRecord(c.entryName, c.baseName.rfind("Hp", 0) == 0 ? 0 : 1);
        EXPECT_EQ(BytesOf(tree, "VMeshRef"), reference);
    }
    NodeTree tree;
    BuildCompoundLayout(tree, {MakeMesh("Hp_Fixed_Gun", {{0, 0, 0}})}, {});
    EXPECT_EQ(RegistryNames(tree)[13], "Gun");  // the first mesh is a hardpoint as well
}

}  // namespace

}  // namespace cmp
