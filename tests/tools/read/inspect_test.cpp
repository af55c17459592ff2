#include "tools/cmpinfo/read/read.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "tests/tools/model_tree.h"
#include "tests/tools/rendered.h"
#include "tests/tree/mesh_fixtures.h"
#include "tools/cmpinfo/report/report.h"
#include "tree/tree.h"

namespace cmp {

namespace {

MeshList Model() {
    return {FaceAt("Ship", {0, 0, 0}, {0, 1, 0}), FaceAt("Wing", {2, 0, 0}, {0, 0, 1}),
            MakeMesh("Hp_Revolute_Turret", {{0, 1, 0}})};
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
    EXPECT_EQ(report.CountProblems(), 0u) << Rendered(RenderProblems, report);
    ASSERT_EQ(tree.GetSize(), 23u);
    NodeWalk walk(report);
    for (int node = 0; node < 4; ++node) {
        ASSERT_TRUE(walk.Next());
    }
    EXPECT_EQ(walk.GetPath(), "\\VMeshLibrary\\Ship.lod0.vms\\VMeshData");
    EXPECT_EQ(Rendered(RenderProblems, report), "");

    const std::string text = Rendered(RenderText, report);
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
        tree.SetPayload(FindNode(tree, "VMeshRef"), MeshRefRecord(c.entryName, c.count));
        const FileReport report = InspectTree(tree, "ship.cmp", 0);
        const std::string problems = Rendered(RenderProblems, report);
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
    const std::string text = Rendered(RenderText, report);
    EXPECT_NE(text.find("\n" + std::string(80, ' ') + "[level 50000] Position (0 bytes)\n"),
              std::string::npos);
    EXPECT_LT(text.size(), 50001u * 120);
    const std::string json = Rendered(RenderJson, report);
    EXPECT_EQ(std::count(json.begin(), json.end(), '{'), std::count(json.begin(), json.end(), '}'));
    EXPECT_EQ(std::count(json.begin(), json.end(), '['), std::count(json.begin(), json.end(), ']'));
}

// Leaves with these counts of problems, one after the other: what each may list and what
// it only counts, and the totals at the end.
TEST(InspectTest, ProblemBudgetListsTheFirstOfEachLeafUpToTheFirstThousand) {
    struct Case {
        const char* what;
        std::vector<std::size_t> counts;
        std::vector<ProblemBudget::Share> shares;
        std::size_t unlisted;
    };
    const std::vector<Case> cases = {
        {"few", {0, 3, 1}, {{0, 0}, {3, 0}, {1, 0}}, 0},
        {"exactly a leaf's worth", {100}, {{100, 0}}, 0},
        {"one too many for a leaf", {101, 2}, {{100, 1}, {2, 0}}, 1},
        {"the report's worth runs out inside a leaf",
         {400, 400, 400, 400, 400, 400, 400, 400, 400, 400, 50, 7},
         {{100, 300},
          {100, 300},
          {100, 300},
          {100, 300},
          {100, 300},
          {100, 300},
          {100, 300},
          {100, 300},
          {100, 300},
          {100, 300},
          {0, 50},
          {0, 7}},
         3057},
    };
    for (const Case& c : cases) {
        ProblemBudget budget;
        std::size_t found = 0;
        for (std::size_t leaf = 0; leaf < c.counts.size(); ++leaf) {
            ProblemList problems;
            for (std::size_t i = 0; i < c.counts[leaf]; ++i) {
                problems.Add("problem " + std::to_string(i));
            }
            EXPECT_EQ(problems.GetListed().size(), std::min<std::size_t>(c.counts[leaf], 100));
            const ProblemBudget::Share share = budget.Take(problems);
            EXPECT_EQ(share.listed, c.shares[leaf].listed) << c.what << " leaf " << leaf;
            EXPECT_EQ(share.unlisted, c.shares[leaf].unlisted) << c.what << " leaf " << leaf;
            found += c.counts[leaf];
        }
        EXPECT_EQ(budget.GetFound(), found) << c.what;
        EXPECT_EQ(budget.GetUnlisted(), c.unlisted) << c.what;
    }
}

TEST(InspectTest, LongNamesAreCutInPaths) {
    const std::string longest(64, 'x');
    struct Case {
        std::vector<std::string> names;
        std::string path;
    };
    const std::vector<Case> cases = {
        {{"\\", longest, "Leaf"}, "\\" + longest + "\\Leaf"},
        {{"\\", longest + "y", "Leaf"}, "\\" + std::string(60, 'x') + "...\\Leaf"},
        // cut before the bytes are escaped, so no escape is ever cut in two
        {{std::string(70, '\xFF')},
         [] {
             std::string escaped;
             for (int i = 0; i < 60; ++i) {
                 escaped += "\\xFF";
             }
             return escaped + "...";
         }()},
    };
    for (const Case& c : cases) {
        NodeTree tree;
        NodeHandle node;
        for (const std::string& name : c.names) {
            node = tree.InsertNode(node, name);
        }
        EXPECT_EQ(LastPath(InspectTree(tree, "f", 0)), c.path);
    }
}

}  // namespace

}  // namespace cmp
