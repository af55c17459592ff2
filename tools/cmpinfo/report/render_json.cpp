#include "tools/cmpinfo/report/report.h"

#include <string>
#include <variant>
#include <vector>

#include "tools/cmpinfo/read/read.h"

namespace cmp {

namespace {

Json ToJson(const UnknownLeaf& leaf) {
    return {{"kind", "bytes"}, {"preview", HexPreview(leaf)}};
}

Json ToJson(const MeshStreamHeader& header) {
    return {{"first", header.first},
            {"second", header.second},
            {"meshes", header.meshCount},
            {"indices", header.indexCount},
            {"vertexFormat", header.vertexFormat},
            {"vertices", header.vertexCount}};
}

Json ToJson(const MeshStreamMesh& mesh) {
    return {{"material", mesh.material},     {"startVertex", mesh.startVertex},
            {"endVertex", mesh.endVertex},   {"vertexCount", mesh.VertexCount()},
            {"indexCount", mesh.indexCount}, {"trailer", mesh.trailer}};
}

Json ToJson(const MeshDataStreamLeaf& stream) {
    Json meshes = Json::array();
    for (const MeshStreamMesh& mesh : stream.meshes) {
        meshes.push_back(ToJson(mesh));
    }
    return {{"kind", "mesh data stream"},
            {"header", ToJson(stream.header)},
            {"expectedLength", stream.expectedLength},
            {"meshes", std::move(meshes)}};
}

Json ToJson(const MeshReference& reference) {
    return {{"kind", "mesh reference"},
            {"recordSize", reference.recordSize},
            {"libraryId", reference.libraryId},
            {"firstMesh", reference.firstMesh},
            {"meshCount", reference.meshCount}};
}

Json ToJson(const TextLeaf& text) {
    return {{"kind", "text"}, {"text", JsonBytes(text.text)}};
}

Json ToJson(const RealsLeaf& reals) {
    Json rows = Json::array();
    for (const std::vector<float>& row : reals.rows) {
        Json& values = rows.emplace_back(Json::array());
        for (float value : row) {
            values.push_back(JsonReal(value));
        }
    }
    return {{"kind", "reals"}, {"rows", std::move(rows)}};
}

// The text of `object` without its closing brace, so that a member written as text can
// follow it.
std::string OpenObject(const Json& object) {
    std::string text = DumpJson(object);
    text.pop_back();
    return text;
}

// A leaf's content; a mesh data stream mesh by mesh, since a hostile one holds tens of
// thousands of meshes and the library's values take many times their bytes.
void WriteLeafJson(const DecodedLeaf& leaf, ReportOutput& output) {
    const auto* stream = std::get_if<MeshDataStreamLeaf>(&leaf);
    if (!stream) {
        output.Write(DumpJson(LeafJson(leaf)));
        return;
    }
    output.Write(OpenObject({{"kind", "mesh data stream"},
                             {"header", ToJson(stream->header)},
                             {"expectedLength", stream->expectedLength}}) +
                 ",\"meshes\":[");
    for (std::size_t m = 0; m < stream->meshes.size(); ++m) {
        if (m > 0) {
            output.Write(",");
        }
        output.Write(DumpJson(ToJson(stream->meshes[m])));
    }
    output.Write("]}");
}

// A node's members up to its content or children: its name, the problems the budget
// lets it list, and for a leaf its size.
Json NodeHeadJson(const NodeReport& node, NameShower& names, ProblemBudget& budget) {
    Json json = {{"name", JsonBytes(names.Show(node.name))}};
    const ProblemBudget::Share share = budget.Take(node.problems);
    if (share.listed > 0) {
        Json& problems = json["problems"] = Json::array();
        for (std::size_t i = 0; i < share.listed; ++i) {
            problems.push_back(JsonBytes(node.problems.GetListed()[i]));
        }
    }
    if (share.unlisted > 0) {
        json["unlistedProblems"] = share.unlisted;
    }
    if (node.isLeaf) {
        json["size"] = node.size;
    }
    return json;
}

}  // namespace

Json LeafJson(const DecodedLeaf& leaf) {
    return std::visit([](const auto& content) { return ToJson(content); }, leaf);
}

// The nesting of the tree is written here, node by node, and only each node's own members
// go through the library: a hostile file can nest tens of thousands of levels deep, and
// the library's serialiser recurses once per level.
std::size_t RenderJson(const FileReport& report, ReportOutput& output) {
    const Json file = {{"file", JsonBytes(report.file)},
                       {"size", report.fileSize},
                       {"nodeCount", report.tree->GetSize()},
                       {"problemCount", report.CountProblems()}};
    output.Write(OpenObject(file) + ",\"nodes\":[");
    NameShower names(report.fileSize);
    ProblemBudget budget;
    // Branches stay open until a node at their depth or above comes along.
    std::vector<int> openBranches;
    int previousDepth = -1;
    NodeWalk walk(report);
    while (walk.Next()) {
        const NodeReport& node = walk.GetNode();
        std::string text;
        while (!openBranches.empty() && openBranches.back() >= node.depth) {
            text += "]}";
            openBranches.pop_back();
        }
        if (previousDepth >= node.depth) {
            text += ',';  // not its parent's first child
        }
        previousDepth = node.depth;
        text += OpenObject(NodeHeadJson(node, names, budget));
        if (node.isLeaf) {
            output.Write(text + ",\"decoded\":");
            WriteLeafJson(node.decoded, output);
            output.Write("}");
        } else {
            output.Write(text + ",\"children\":[");
            openBranches.push_back(node.depth);
        }
    }
    std::string closing;
    for (std::size_t i = 0; i < openBranches.size(); ++i) {
        closing += "]}";
    }
    output.Write(closing + "]}\n");
    return budget.GetFound();
}

std::size_t RenderProblemsJson(const FileReport& report, ReportOutput& output) {
    output.Write(OpenObject({{"file", JsonBytes(report.file)}}) + ",\"problems\":[");
    ProblemBudget budget;
    bool first = true;
    NodeWalk walk(report);
    while (walk.Next()) {
        const ProblemList& problems = walk.GetNode().problems;
        if (problems.GetCount() == 0) {
            continue;
        }
        const ProblemBudget::Share share = budget.Take(problems);
        const Json path = JsonBytes(walk.GetPath());
        for (std::size_t i = 0; i < share.listed; ++i) {
            if (!first) {
                output.Write(",");
            }
            output.Write(
                DumpJson({{"path", path}, {"message", JsonBytes(problems.GetListed()[i])}}));
            first = false;
        }
    }
    std::string closing = "]";
    if (budget.GetUnlisted() > 0) {
        closing += ",\"unlistedProblems\":" + std::to_string(budget.GetUnlisted());
    }
    output.Write(closing + "}\n");
    return budget.GetFound();
}

}  // namespace cmp
