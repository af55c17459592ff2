// Both renderers against the outputs kept in tests/tools/golden, byte for byte: the tree
// of every leaf kind covers each decoded structure, escapes and every form of real.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/tools/every_leaf_tree.h"
#include "tools/cmpinfo/inspect.h"
#include "tools/cmpinfo/render_json.h"
#include "tools/cmpinfo/render_text.h"
#include "utf/utf_layout.h"

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
        std::string (*render)(const FileReport&);
    };
    const std::vector<Case> cases = {
        {"every_leaf.txt", RenderText},
        {"every_leaf.json", RenderJson},
        {"every_leaf.check.txt", RenderProblems},
        {"every_leaf.check.json", RenderProblemsJson},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.render(report), Golden(c.golden)) << c.golden;
    }
}

}  // namespace

}  // namespace cmp
