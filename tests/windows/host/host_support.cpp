#include "tests/windows/host/host_support.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "tests/models/test_models.h"
#include "tests/windows/host/host_slots.h"
#include "utf/utf.h"

namespace cmp {

namespace fs = std::filesystem;

std::string DefaultPlugInPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    const std::size_t slash = folder.find_last_of("\\/");
    folder.resize(slash == std::string::npos ? 0 : slash + 1);
    return folder + "cmpexport.dll";
}

PlugInObject::PlugInObject(const cmp::PlugInLibrary& library) {
    object_ = library.Create();
}

PlugInObject::~PlugInObject() {
    if (object_ != nullptr) {
        host_abi::Destroy(object_, 1);
    }
}

ztModel MakeModel(ModelChoice choice) {
    auto named = [](const char* name) {
        for (const TestModel& model : ComparisonModels()) {
            if (std::strcmp(model.name, name) == 0) {
                return CreateTestModel(model.build);
            }
        }
        return ztModel{};
    };
    switch (choice) {
        case ModelChoice::Null:
            return nullptr;
        case ModelChoice::Empty:
            return CreateTestModel(BuildEmptyModel);
        case ModelChoice::OnlyHardpoints:
            return named("only_hardpoints");
        case ModelChoice::Cube:
            return named("cube");
        case ModelChoice::Hardpoints:
            return named("hardpoints");
        case ModelChoice::OverLimit:
            return CreateTestModel(BuildOverLimitModel);
    }
    return nullptr;
}

std::optional<Bytes> ReadWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::optional<std::vector<TreeItemSnapshot>> FileTree(const fs::path& path) {
    std::optional<Bytes> bytes = ReadWholeFile(path);
    if (!bytes) {
        return std::nullopt;
    }
    NodeTree tree;
    if (!ReadUtfFile(*bytes, tree)) {
        return std::nullopt;
    }
    std::vector<TreeItemSnapshot> items;
    std::vector<std::pair<NodeHandle, int>> pending;
    if (tree.GetRoot()) {
        pending.emplace_back(tree.GetRoot(), 0);
    }
    while (!pending.empty()) {
        auto [node, depth] = pending.back();
        pending.pop_back();
        items.push_back({depth, tree.GetName(node), false});
        if (NodeHandle sibling = tree.GetNextSibling(node)) {
            pending.emplace_back(sibling, depth);
        }
        if (NodeHandle child = tree.GetFirstChild(node)) {
            pending.emplace_back(child, depth + 1);
        }
    }
    return items;
}

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace cmp
