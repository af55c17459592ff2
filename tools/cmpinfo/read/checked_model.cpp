#include "tools/cmpinfo/read/read.h"

#include "utf/utf.h"

namespace cmp {

Result<LoadedTree> LoadTreeFile(const std::string& path) {
    const Result<Bytes> file = ReadTreeFileBytes(path.c_str());
    if (!file) {
        return Error{file.code(), path + ": cannot read: " + file.message(), std::nullopt};
    }
    LoadedTree loaded{file.value().size(), NodeTree()};
    if (const Status read = ReadUtfFile(file.value(), loaded.tree); !read) {
        return Error{read.error().code,
                     path + ": not a readable tree file: " + read.message() + " (at byte " +
                         std::to_string(read.error().offset.value_or(0)) + ")",
                     read.error().offset};
    }
    return loaded;
}

Result<StoredModel> LoadCheckedModel(const std::string& path) {
    Result<LoadedTree> loaded = LoadTreeFile(path);
    if (!loaded) {
        return loaded.error();
    }
    const NodeTree& tree = loaded.value().tree;
    const FileReport report = InspectTree(tree, path, loaded.value().fileSize);
    std::size_t problems = 0;
    std::string first;
    NodeWalk walk(report);
    while (walk.Next()) {
        const ProblemList& found = walk.GetNode().problems;
        if (first.empty() && !found.GetListed().empty()) {
            first = walk.GetPath() + ": " + found.GetListed().front();
        }
        problems += found.GetCount();
    }
    if (problems > 0) {
        return Error{ErrorCode::MalformedTreeFile,
                     path + ": " + Plural(problems, "problem", "problems") +
                         " found by the checks, the first: " + first,
                     std::nullopt};
    }

    Result<StoredModel> model = ReadStoredModel(tree);
    if (!model) {
        return Error{model.code(), path + ": " + model.message(), std::nullopt};
    }
    return model;
}

}  // namespace cmp
