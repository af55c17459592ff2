#include "tools/cmpinfo/report/report.h"

#include <algorithm>
#include <string>
#include <utility>

#include "core/text.h"
#include "tools/cmpinfo/read/read.h"

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

// Each line that shows the leaf, in order, to `line`: a stream of thousands of meshes is
// never held as lines.
template <class Line>
void Describe(const UnknownLeaf& leaf, Line line) {
    line(leaf.size == 0 ? "no data" : HexPreview(leaf));
}

template <class Line>
void Describe(const MeshDataStreamLeaf& stream, Line line) {
    const MeshStreamHeader& header = stream.header;
    line("mesh data stream: " + Plural(header.meshCount, "mesh", "meshes") + ", " +
         Plural(header.indexCount, "index", "indices") + ", " +
         Plural(header.vertexCount, "vertex", "vertices") + ", vertex format " +
         HexWord(header.vertexFormat));
    for (std::size_t m = 0; m < stream.meshes.size(); ++m) {
        const MeshStreamMesh& mesh = stream.meshes[m];
        line("mesh " + std::to_string(m) + ": material " + HexWord(mesh.material) + ", vertices " +
             std::to_string(mesh.startVertex) + ".." + std::to_string(mesh.endVertex) + " (" +
             std::to_string(mesh.VertexCount()) + "), " +
             Plural(mesh.indexCount, "index", "indices"));
    }
}

template <class Line>
void Describe(const MeshReference& reference, Line line) {
    line("mesh reference: size " + std::to_string(reference.recordSize) + ", library entry " +
         HexWord(reference.libraryId) + ", meshes " + std::to_string(reference.firstMesh) + " + " +
         std::to_string(reference.meshCount));
}

template <class Line>
void Describe(const TextLeaf& text, Line line) {
    std::string quoted = "\"";
    quoted += TerminalText(text.text);
    quoted += '"';
    line(std::move(quoted));
}

template <class Line>
void Describe(const RealsLeaf& reals, Line line) {
    for (const std::vector<float>& row : reals.rows) {
        std::string text;
        for (float value : row) {
            if (!text.empty()) {
                text += ' ';
            }
            text += FormatReal(value);
        }
        line(text);
    }
}

}  // namespace

std::vector<std::string> DescribeLeaf(const DecodedLeaf& leaf) {
    std::vector<std::string> lines;
    const auto line = [&lines](std::string text) { lines.push_back(std::move(text)); };
    std::visit([&line](const auto& content) { Describe(content, line); }, leaf);
    return lines;
}

std::size_t RenderText(const FileReport& report, ReportOutput& output) {
    output.Write(TerminalText(report.file) + ": " + Plural(report.fileSize, "byte", "bytes") +
                 ", " + Plural(report.tree->GetSize(), "node", "nodes") + "\n");
    NameShower names(report.fileSize);
    ProblemBudget budget;
    NodeWalk walk(report);
    while (walk.Next()) {
        const NodeReport& node = walk.GetNode();
        const std::string indent = Indent(node.depth);
        std::string head = indent + TerminalText(names.Show(node.name));
        if (node.isLeaf) {
            output.Write(head + " (" + Plural(node.size, "byte", "bytes") + ")\n");
            for (const std::string& line : DescribeLeaf(node.decoded)) {
                output.Write(indent + "    " + line + "\n");
            }
        } else {
            output.Write(head + "\n");
        }
        const ProblemBudget::Share share = budget.Take(node.problems);
        for (std::size_t i = 0; i < share.listed; ++i) {
            output.Write(indent + "    ! " + node.problems.GetListed()[i] + "\n");
        }
        if (share.listed > 0 && share.unlisted > 0) {
            output.Write(indent + "    ! and " + std::to_string(share.unlisted) + " more\n");
        }
    }
    if (budget.GetFound() > 0) {
        output.Write(Plural(budget.GetFound(), "problem", "problems") + " found" +
                     (budget.GetUnlisted() > 0
                          ? ", " + std::to_string(budget.GetUnlisted()) + " of them not listed"
                          : std::string()) +
                     "\n");
    }
    return budget.GetFound();
}

std::size_t RenderProblems(const FileReport& report, ReportOutput& output) {
    const std::string file = TerminalText(report.file);
    ProblemBudget budget;
    std::size_t passedOver = 0;  // problems of leaves that came after the budget ran out
    NodeWalk walk(report);
    while (walk.Next()) {
        const ProblemList& problems = walk.GetNode().problems;
        if (problems.GetCount() == 0) {
            continue;
        }
        const ProblemBudget::Share share = budget.Take(problems);
        if (share.listed == 0) {
            passedOver += share.unlisted;
            continue;
        }
        const std::string path = walk.GetPath();
        for (std::size_t i = 0; i < share.listed; ++i) {
            output.Write(file + ": " + path + ": " + problems.GetListed()[i] + "\n");
        }
        if (share.unlisted > 0) {
            output.Write(file + ": " + path + ": and " + std::to_string(share.unlisted) +
                         " more\n");
        }
    }
    if (passedOver > 0) {
        output.Write(file + ": and " + std::to_string(passedOver) +
                     " more problems in later nodes\n");
    }
    return budget.GetFound();
}

}  // namespace cmp
