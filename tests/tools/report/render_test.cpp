// Both renderers against the outputs kept in tests/tools/golden, byte for byte: the tree
// of every leaf kind covers each decoded structure, escapes and every form of real.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/tools/every_leaf_tree.h"
#include "tests/tools/hostile_files.h"
#include "tests/tools/rendered.h"
#include "tools/cmpinfo/read/read.h"
#include "tools/cmpinfo/report/report.h"
#include "utf/utf.h"

namespace cmp {

namespace {

std::string Golden(const std::string& name) {
    std::ifstream in(std::filesystem::path(CMPINFO_GOLDEN_DIR) / name, std::ios::binary);
    EXPECT_TRUE(in) << name << " is missing";
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(RenderTest, EveryLeafKindMatchesTheGoldenOutput) {
    const NodeTree tree = EveryLeafTree();
    const FileReport report =
        InspectTree(tree, EveryLeafFileName, UtfLayout(tree).GetFileBytes().size());
    struct Case {
        const char* golden;
        std::size_t (*render)(const FileReport&, ReportOutput&);
    };
    const std::vector<Case> cases = {
        {"every_leaf.txt", RenderText},
        {"every_leaf.json", RenderJson},
        {"every_leaf.check.txt", RenderProblems},
        {"every_leaf.check.json", RenderProblemsJson},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Rendered(c.render, report), Golden(c.golden)) << c.golden;
    }
}

std::size_t CountLines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// The file that once made --check build 63 GB: each mode lists the first 100 problems of
// its one leaf, counts the other 196,508, and keeps every line short.
TEST(RenderTest, HostileLeafListsItsFirstProblemsAndCountsTheRest) {
    const NodeTree tree = LongNamedBrokenMeshTree();
    const FileReport report = InspectTree(tree, "hostile.cmp", 1107267);
    EXPECT_EQ(report.CountProblems(), 196608u);

    const std::string check = Rendered(RenderProblems, report);
    EXPECT_EQ(CountLines(check), 101u);
    const std::string path =
        "...\\" + std::string(60, 'b') + "...\\" + std::string(60, 'c') + "...\\";
    EXPECT_EQ(check.rfind("hostile.cmp: " + path, 0), 0u) << check.substr(0, 300);
    EXPECT_NE(check.find("...\\VMeshData: mesh 0 starts at vertex 65535, but the meshes "
                         "before it have 0 vertices\n"),
              std::string::npos);
    EXPECT_NE(check.find("\\VMeshData: and 196508 more\n"), std::string::npos);
    EXPECT_LT(check.size(), 101u * 1100);

    const std::string text = Rendered(RenderText, report);
    EXPECT_NE(text.find("    ! and 196508 more\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\n196608 problems found, 196508 of them not listed\n"));
    EXPECT_EQ(CountLines(text), 17 + 1 + 65536 + 101 + 1u);

    const Json json = Json::parse(Rendered(RenderJson, report));
    EXPECT_EQ(json["problemCount"], 196608u);
    Json leaf = json["nodes"][0];
    while (leaf.contains("children")) {
        leaf = leaf["children"][0];
    }
    EXPECT_EQ(leaf["problems"].size(), 100u);
    EXPECT_EQ(leaf["unlistedProblems"], 196508u);
    EXPECT_EQ(leaf["decoded"]["meshes"].size(), 65535u);

    const Json problems = Json::parse(Rendered(RenderProblemsJson, report));
    EXPECT_EQ(problems["problems"].size(), 100u);
    EXPECT_EQ(problems["unlistedProblems"], 196508u);
}

// 1,005 leaves of one problem each: the first 1,000 are listed, the rest counted at the
// end of every mode.
TEST(RenderTest, ProblemsPastTheFirstThousandAreCounted) {
    NodeTree tree;
    const NodeHandle root = tree.InsertNode(NodeHandle(), "\\");
    for (int leaf = 0; leaf < 1005; ++leaf) {
        tree.InsertNode(root, "Position");  // no bytes: 0 of 12
    }
    const FileReport report = InspectTree(tree, "many.cmp", 50000);

    const std::string check = Rendered(RenderProblems, report);
    EXPECT_EQ(CountLines(check), 1001u);
    EXPECT_TRUE(check.ends_with(
        "many.cmp: \\Position: 0 bytes, expected 12 (3 reals)\nmany.cmp: and 5 more problems in "
        "later nodes\n"));

    const std::string text = Rendered(RenderText, report);
    EXPECT_EQ(CountLines(text), 1 + 1 + 1005 * 2 + 1000 + 1u);
    EXPECT_TRUE(
        text.ends_with("\n  Position (0 bytes)\n      no data\n1005 problems found, 5 of "
                       "them not listed\n"));

    const Json json = Json::parse(Rendered(RenderJson, report));
    EXPECT_EQ(json["problemCount"], 1005u);
    const Json& last = json["nodes"][0]["children"][1004];
    EXPECT_FALSE(last.contains("problems"));
    EXPECT_EQ(last["unlistedProblems"], 1u);
    EXPECT_EQ(json["nodes"][0]["children"][999]["problems"].size(), 1u);

    const Json problems = Json::parse(Rendered(RenderProblemsJson, report));
    EXPECT_EQ(problems["problems"].size(), 1000u);
    EXPECT_EQ(problems["unlistedProblems"], 5u);
}

// The tree views show names whole until the names shown add up to the file's length,
// so that records sharing one long name cannot make the view many times the file.
TEST(RenderTest, SharedLongNamesAreShownWholeOnlyUpToTheFileLength) {
    const std::string name(30000, 'n');
    NodeTree tree;
    const NodeHandle root = tree.InsertNode(NodeHandle(), "\\");
    for (int leaf = 0; leaf < 4; ++leaf) {
        tree.InsertNode(root, name);
    }
    const std::string cut = std::string(60, 'n') + "...";
    struct Case {
        std::size_t fileSize;
        std::size_t whole;  // names shown whole before the cut ones
    };
    const std::vector<Case> cases = {{100, 2}, {90001, 3}, {120001, 4}};
    for (const Case& c : cases) {
        const FileReport report = InspectTree(tree, "shared.cmp", c.fileSize);
        const std::string text = Rendered(RenderText, report);
        for (std::size_t leaf = 0; leaf < 4; ++leaf) {
            const std::string line = "\n  " + (leaf < c.whole ? name : cut) + " (0 bytes)\n";
            std::size_t at = 0;
            for (std::size_t seen = 0; seen <= leaf; ++seen) {
                at = text.find("\n  n", at + 1);
            }
            EXPECT_EQ(text.compare(at, line.size(), line), 0) << c.fileSize << " leaf " << leaf;
        }
        const Json json = Json::parse(Rendered(RenderJson, report));
        EXPECT_EQ(json["nodes"][0]["children"][c.whole - 1]["name"], name) << c.fileSize;
        if (c.whole < 4) {
            EXPECT_EQ(json["nodes"][0]["children"][c.whole]["name"], cut) << c.fileSize;
        }
    }
}

}  // namespace

}  // namespace cmp
