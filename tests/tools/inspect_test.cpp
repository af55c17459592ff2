#include "tools/cmpinfo/inspect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "mesh/mesh_data_stream.h"
#include "tests/tree/mesh_fixtures.h"
#include "tools/cmpinfo/render_json.h"
#include "tools/cmpinfo/render_text.h"
#include "tree/compound_layout.h"

namespace cmp {

namespace {

MeshList Model() {
    return {FaceAt("Ship", {0, 0, 0}, {0, 1, 0}), FaceAt("Wing", {2, 0, 0}, {0, 0, 1}),
            MakeMesh("Hp_Revolute_Turret", {{0, 1, 0}})};
}

NodeTree ModelTree(const MeshList& meshes) {
    NodeTree tree;
    BuildCompoundLayout(tree, meshes, BuildMeshDataStream(meshes));
    return tree;
}

NodeHandle Find(const NodeTree& tree, const std::string& name) {
    for (NodeHandle node : tree.Registry()) {
        if (tree.GetName(node) == name) {
            return node;
        }
    }
    return NodeHandle();
}

// The path of the last node of the report, as problem lines show it.
std::string LastPath(const FileReport& report) {
    NodeWalk walk(report);
    std::string path;
    while (walk.Next()) {
        path = walk.GetPath();
    }
    return path;
}

TEST(InspectTest, OurOwnModelIsSound) {
    const NodeTree tree = ModelTree(Model());
    const FileReport report = InspectTree(tree, "ship.cmp", 1234);
    EXPECT_EQ(report.CountProblems(), 0u) << RenderProblems(report);
    ASSERT_EQ(tree.GetSize(), 23u);
    NodeWalk walk(report);
    for (int node = 0; node < 4; ++node) {
        ASSERT_TRUE(walk.Next());
    }
    EXPECT_EQ(walk.GetPath(), "\\VMeshLibrary\\Ship.lod0.vms\\VMeshData");
    EXPECT_EQ(RenderProblems(report), "");

    const std::string text = RenderText(report);
    EXPECT_EQ(text.rfind("ship.cmp: 1234 bytes, 23 nodes\n\\\n  VMeshLibrary\n", 0), 0u) << text;
    EXPECT_NE(text.find("\n      VMeshData (244 bytes)\n          mesh data stream: 2 meshes"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("meshes 0 + 2"), std::string::npos);
}

TEST(InspectTest, MeshReferenceMustMatchTheLibrary) {
    struct Case {
        const char* what;
        std::string entryName;
        std::int32_t count;
        const char* problem;
    };
    const std::vector<Case> cases = {
        {"unknown entry", "Other.lod0.vms", 2, "which no \"VMeshLibrary\" child"},
        {"wrong count", "Ship.lod0.vms", 3, "counts 3 meshes, but the mesh data of"},
        {"letter case does not matter", "SHIP.LOD0.VMS", 2, nullptr},
    };
    for (const Case& c : cases) {
        const MeshList meshes = Model();
        NodeTree tree = ModelTree(meshes);
        auto payload = std::make_unique<Payload>();
        payload->bytes = MeshRefRecord(c.entryName, c.count);
        tree.SetPayload(Find(tree, "VMeshRef"), std::move(payload));
        const FileReport report = InspectTree(tree, "ship.cmp", 0);
        const std::string problems = RenderProblems(report);
        if (c.problem) {
            EXPECT_NE(
                problems.find("ship.cmp: \\Ship.3db\\MultiLevel\\Level0\\VMeshPart\\VMeshRef: "),
                std::string::npos)
                << c.what << ": " << problems;
            EXPECT_NE(problems.find(c.problem), std::string::npos) << c.what << ": " << problems;
        } else {
            EXPECT_EQ(problems, "") << c.what;
        }
    }
}

TEST(InspectTest, DeepTreesStayReadable) {
    NodeTree tree;
    NodeHandle node;
    for (int level = 0; level < 50000; ++level) {
        node = tree.InsertNode(node, "n");
    }
    tree.InsertNode(node, "Position");  // no bytes: a problem at the very bottom
    const FileReport report = InspectTree(tree, "deep", 0);
    EXPECT_EQ(LastPath(report), "...\\n\\n\\n\\n\\n\\n\\n\\n\\n\\n\\n\\n\\n\\n\\n\\Position");
    const std::string text = RenderText(report);
    EXPECT_NE(text.find("\n" + std::string(80, ' ') + "[level 50000] Position (0 bytes)\n"),
              std::string::npos);
    EXPECT_LT(text.size(), 50001u * 120);
    const std::string json = RenderJson(report);
    EXPECT_EQ(std::count(json.begin(), json.end(), '{'), std::count(json.begin(), json.end(), '}'));
    EXPECT_EQ(std::count(json.begin(), json.end(), '['), std::count(json.begin(), json.end(), ']'));
}

}  // namespace

}  // namespace cmp
