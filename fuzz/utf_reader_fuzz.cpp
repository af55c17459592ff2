// Fuzz target for the tree-file reader. Any bytes go in; the reader must neither crash
// nor read outside them. Whatever it accepts must write out again and read back as the
// same tree, and the inspector must decode and print it without trouble, listing no more
// problems than its budget allows. A tree the checks pass is read back as a model, laid
// out and drawn as the picture at its smallest size, and converted to glTF, which must
// read back and keep the glTF validator's rules that need no Node: unit normals and node
// matrices that decompose into translation, rotation and scale.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/tools/gltf_rules.h"
#include "tests/tools/rendered.h"
#include "tests/utf/test_trees.h"
#include "tools/cmpinfo/gltf/gltf.h"
#include "tools/cmpinfo/picture/picture.h"
#include "tools/cmpinfo/read/read.h"
#include "tools/cmpinfo/report/report.h"
#include "utf/utf.h"

namespace cmp {
namespace {

struct Visited {
    int depth;
    const std::string* name;
    const Payload* payload;
};

// Pre-order listing: depth, name and payload of every node.
std::vector<Visited> Walk(const NodeTree& tree) {
    std::vector<Visited> order;
    ForEachInPreOrder(tree, [&](NodeHandle node, int depth) {
        order.push_back({depth, &tree.GetName(node), tree.GetPayload(node)});
    });
    return order;
}

bool SameBytes(const Payload* a, const Payload* b) {
    const std::size_t sizeA = a ? a->bytes.size() : 0;
    const std::size_t sizeB = b ? b->bytes.size() : 0;
    return sizeA == sizeB &&
           (sizeA == 0 || std::equal(a->bytes.begin(), a->bytes.end(), b->bytes.begin()));
}

// The picture and the glTF of a tree the checks pass. Whatever the model holds, neither
// may crash; every point the layout places must be a number.
void DrawAndConvert(const NodeTree& tree) {
    const Result<StoredModel> model = ReadStoredModel(tree);
    if (!model) {
        if (model.message().empty()) {
            std::abort();
        }
        return;
    }
    const PictureScene scene = BuildPictureScene(model.value());
    const PictureLayout layout = LayOutPicture(scene, SmallestPictureWidth, SmallestPictureHeight);
    for (const PanelView& view : layout.views) {
        for (const SceneHardpoint& hardpoint : scene.hardpoints) {
            const ViewPoint at = view.Project(hardpoint.position);
            if (!std::isfinite(at.x) || !std::isfinite(at.y)) {
                std::abort();
            }
        }
    }
    if (!DrawPicture(scene, layout)) {
        std::abort();
    }
    const Result<GltfFile> file = MakeGltfFile(model.value(), "fuzz", GltfForm::Binary);
    if (!file) {
        return;
    }
    tinygltf::Model document;
    std::string error;
    if (!ReadGltfDocument(Joined(file.value()), document, error) ||
        !FindGltfRuleBreaches(document).empty()) {
        std::abort();
    }
}

bool SameTree(const NodeTree& a, const NodeTree& b) {
    const std::vector<Visited> left = Walk(a);
    const std::vector<Visited> right = Walk(b);
    if (left.size() != right.size()) {
        return false;
    }
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (left[i].depth != right[i].depth || *left[i].name != *right[i].name ||
            !SameBytes(left[i].payload, right[i].payload)) {
            return false;
        }
    }
    return true;
}

}  // namespace
}  // namespace cmp

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace cmp;
    const Bytes bytes(data, data + size);
    NodeTree tree;
    const Status error = ReadUtfFile(bytes, tree);
    if (!error) {
        if (error.message().empty() || error.error().offset.value_or(~0ull) > size) {
            std::abort();
        }
        return 0;
    }
    NodeTree again;
    if (!ReadUtfFile(UtfLayout(tree).GetFileBytes(), again) || !SameTree(tree, again)) {
        std::abort();
    }
    const FileReport report = InspectTree(tree, "fuzz", size);
    if (Rendered(RenderText, report).empty() || Rendered(RenderJson, report).empty()) {
        std::abort();
    }
    // However many problems the file holds, the lines listing them stay within the budget:
    // the first of each leaf up to the first thousand, an "and N more" for each leaf that
    // had more, and one line for the leaves past the budget.
    const std::string problems = Rendered(RenderProblems, report);
    const auto lines = static_cast<std::size_t>(std::count(problems.begin(), problems.end(), '\n'));
    if (lines > ProblemsListedInAll + ProblemsListedInAll / ProblemsListedPerLeaf + 2 ||
        Rendered(RenderProblemsJson, report).empty()) {
        std::abort();
    }
    if (report.CountProblems() == 0) {
        DrawAndConvert(tree);
    }
    return 0;
}
