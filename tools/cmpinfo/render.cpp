#include "tools/cmpinfo/render.h"

#include <algorithm>
#include <vector>

#include "tools/cmpinfo/json_writer.h"

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

std::string Plural(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string RenderText(const FileReport& report) {
    std::string text = Printable(report.file) + ": " + Plural(report.fileSize, "byte", "bytes") +
                       ", " + Plural(report.nodes.size(), "node", "nodes") + "\n";
    for (const NodeReport& node : report.nodes) {
        const std::string indent = Indent(node.depth);
        text += indent + Printable(node.name);
        if (node.isLeaf) {
            text += " (" + Plural(node.size, "byte", "bytes") + ")";
        }
        text += "\n";
        for (const std::string& line : node.decoding.lines) {
            text += indent + "    " + line + "\n";
        }
        for (const std::string& problem : node.problems) {
            text += indent + "    ! " + problem + "\n";
        }
    }
    if (const std::size_t problems = report.ProblemCount(); problems > 0) {
        text += Plural(problems, "problem", "problems") + " found\n";
    }
    return text;
}

std::string RenderJson(const FileReport& report) {
    JsonWriter json;
    json.BeginObject();
    json.Key("file").String(report.file);
    json.Key("size").Number(static_cast<std::int64_t>(report.fileSize));
    json.Key("nodeCount").Number(static_cast<std::int64_t>(report.nodes.size()));
    json.Key("problemCount").Number(static_cast<std::int64_t>(report.ProblemCount()));
    json.Key("nodes").BeginArray();
    // Branches stay open until a node at their depth or above comes along.
    std::vector<int> openBranches;
    for (const NodeReport& node : report.nodes) {
        while (!openBranches.empty() && openBranches.back() >= node.depth) {
            json.EndArray().EndObject();
            openBranches.pop_back();
        }
        json.BeginObject().Key("name").String(node.name);
        if (!node.problems.empty()) {
            json.Key("problems").BeginArray();
            for (const std::string& problem : node.problems) {
                json.String(problem);
            }
            json.EndArray();
        }
        if (node.isLeaf) {
            json.Key("size").Number(static_cast<std::int64_t>(node.size));
            json.Key("decoded").Raw(node.decoding.json);
            json.EndObject();
        } else {
            json.Key("children").BeginArray();
            openBranches.push_back(node.depth);
        }
    }
    for (std::size_t i = 0; i < openBranches.size(); ++i) {
        json.EndArray().EndObject();
    }
    json.EndArray().EndObject();
    return json.Text() + "\n";
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

std::string RenderProblemsJson(const FileReport& report) {
    JsonWriter json;
    json.BeginObject().Key("file").String(report.file).Key("problems").BeginArray();
    for (std::size_t i = 0; i < report.nodes.size(); ++i) {
        for (const std::string& problem : report.nodes[i].problems) {
            json.BeginObject().Key("path").String(NodePath(report, i));
            json.Key("message").String(problem).EndObject();
        }
    }
    json.EndArray().EndObject();
    return json.Text() + "\n";
}

}  // namespace cmp
