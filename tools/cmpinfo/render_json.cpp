#include "tools/cmpinfo/render_json.h"

#include <vector>

#include "tools/cmpinfo/leaf_text.h"

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

// A node's own members: its name, its problems, and for a leaf its size and content.
Json NodeJson(const NodeReport& node) {
    Json json = {{"name", JsonBytes(node.name)}};
    if (!node.problems.empty()) {
        Json& problems = json["problems"] = Json::array();
        for (const std::string& problem : node.problems) {
            problems.push_back(JsonBytes(problem));
        }
    }
    if (node.isLeaf) {
        json["size"] = node.size;
        json["decoded"] = LeafJson(node.decoded);
    }
    return json;
}

// The text of `object` without its closing brace, so that a member written as text can
// follow it.
std::string OpenObject(const Json& object) {
    std::string text = DumpJson(object);
    text.pop_back();
    return text;
}

}  // namespace

Json LeafJson(const DecodedLeaf& leaf) {
    return std::visit([](const auto& content) { return ToJson(content); }, leaf);
}

// The nesting of the tree is written here, node by node, and only each node's own members
// go through the library: a hostile file can nest tens of thousands of levels deep, and
// the library's serialiser recurses once per level.
std::string RenderJson(const FileReport& report) {
    const Json file = {{"file", JsonBytes(report.file)},
                       {"size", report.fileSize},
                       {"nodeCount", report.nodes.size()},
                       {"problemCount", report.CountProblems()}};
    std::string text = OpenObject(file) + ",\"nodes\":[";
    // Branches stay open until a node at their depth or above comes along.
    std::vector<int> openBranches;
    for (std::size_t i = 0; i < report.nodes.size(); ++i) {
        const NodeReport& node = report.nodes[i];
        while (!openBranches.empty() && openBranches.back() >= node.depth) {
            text += "]}";
            openBranches.pop_back();
        }
        if (i > 0 && report.nodes[i - 1].depth >= node.depth) {
            text += ',';  // not its parent's first child
        }
        if (node.isLeaf) {
            text += DumpJson(NodeJson(node));
        } else {
            text += OpenObject(NodeJson(node)) + ",\"children\":[";
            openBranches.push_back(node.depth);
        }
    }
    for (std::size_t i = 0; i < openBranches.size(); ++i) {
        text += "]}";
    }
    return text + "]}\n";
}

std::string RenderProblemsJson(const FileReport& report) {
    Json problems = Json::array();
    for (std::size_t i = 0; i < report.nodes.size(); ++i) {
        for (const std::string& problem : report.nodes[i].problems) {
            problems.push_back(
                {{"path", JsonBytes(NodePath(report, i))}, {"message", JsonBytes(problem)}});
        }
    }
    return DumpJson({{"file", JsonBytes(report.file)}, {"problems", std::move(problems)}}) + "\n";
}

}  // namespace cmp
