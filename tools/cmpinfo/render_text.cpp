#include "tools/cmpinfo/render_text.h"

#include <algorithm>

#include "core/text.h"
#include "tools/cmpinfo/leaf_text.h"

namespace cmp {

namespace {

constexpr int MaxIndentLevels = 40;

std::string Indent(int depth) {
    std::string indent(2 * static_cast<std::size_t>(std::min(depth, MaxIndentLevels)), ' ');
    if (depth > MaxIndentLevels) {
        indent += "[level " + std::to_string(depth) + "] ";
    }
    return indent;
}

std::vector<std::string> Describe(const UnknownLeaf& leaf) {
    return {leaf.size == 0 ? "no data" : HexPreview(leaf)};
}

std::vector<std::string> Describe(const MeshDataStreamLeaf& stream) {
    const MeshStreamHeader& header = stream.header;
    std::vector<std::string> lines = {
        "mesh data stream: " + Plural(header.meshCount, "mesh", "meshes") + ", " +
        Plural(header.indexCount, "index", "indices") + ", " +
        Plural(header.vertexCount, "vertex", "vertices") + ", vertex format " +
        HexWord(header.vertexFormat)};
    for (std::size_t m = 0; m < stream.meshes.size(); ++m) {
        const MeshStreamMesh& mesh = stream.meshes[m];
        lines.push_back("mesh " + std::to_string(m) + ": material " + HexWord(mesh.material) +
                        ", vertices " + std::to_string(mesh.startVertex) + ".." +
                        std::to_string(mesh.endVertex) + " (" + std::to_string(mesh.VertexCount()) +
                        "), " + Plural(mesh.indexCount, "index", "indices"));
    }
    return lines;
}

std::vector<std::string> Describe(const MeshReference& reference) {
    return {"mesh reference: size " + std::to_string(reference.recordSize) + ", library entry " +
            HexWord(reference.libraryId) + ", meshes " + std::to_string(reference.firstMesh) +
            " + " + std::to_string(reference.meshCount)};
}

std::vector<std::string> Describe(const TextLeaf& text) {
    return {"\"" + Printable(text.text) + "\""};
}

std::vector<std::string> Describe(const RealsLeaf& reals) {
    std::vector<std::string> lines;
    for (const std::vector<float>& row : reals.rows) {
        std::string line;
        for (float value : row) {
            line += (line.empty() ? "" : " ") + FormatReal(value);
        }
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

std::vector<std::string> DescribeLeaf(const DecodedLeaf& leaf) {
    return std::visit([](const auto& content) { return Describe(content); }, leaf);
}

std::string RenderText(const FileReport& report) {
    std::string text = Printable(report.file) + ": " + Plural(report.fileSize, "byte", "bytes") +
                       ", " + Plural(report.nodes.size(), "node", "nodes") + "\n";
    for (const NodeReport& node : report.nodes) {
        const std::string indent = Indent(node.depth);
        text += indent + Printable(node.name);
        if (node.isLeaf) {
            text += " (" + Plural(node.size, "byte", "bytes") + ")\n";
            for (const std::string& line : DescribeLeaf(node.decoded)) {
                text += indent + "    " + line + "\n";
            }
        } else {
            text += "\n";
        }
        for (const std::string& problem : node.problems) {
            text += indent + "    ! " + problem + "\n";
        }
    }
    if (const std::size_t problems = report.CountProblems(); problems > 0) {
        text += Plural(problems, "problem", "problems") + " found\n";
    }
    return text;
}

std::string RenderProblems(const FileReport& report) {
    std::string text;
    for (std::size_t i = 0; i < report.nodes.size(); ++i) {
        for (const std::string& problem : report.nodes[i].problems) {
            text += Printable(report.file) + ": " + NodePath(report, i) + ": " + problem + "\n";
        }
    }
    return text;
}

}  // namespace cmp
