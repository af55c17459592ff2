#include "plugin/plugin.h"

#include <filesystem>
#include <system_error>

#include "core/text.h"
#include "mesh/mesh.h"
#include "tree/tree.h"
#include "utf/utf.h"

namespace cmp {

Status ReadBackBuildAndWriteTreeFile(const MeshList& meshes, TemporaryStream& stream,
                                     const std::string& outputPath,
                                     std::unique_ptr<NodeTree>& tree) {
    tree.reset();
    if (meshes.empty()) {
        return Error{ErrorCode::EmptyTree,
                     "Could not build the model tree: there are no meshes to export"};
    }
    Result<Bytes> bytes = stream.ReadBack(MeshDataStreamSize(meshes));
    if (!bytes) {
        return Error{bytes.code(), "Could not read the mesh data back: " + bytes.message() +
                                       "\nNothing was exported."};
    }
    tree = std::make_unique<NodeTree>();
    BuildCompoundLayout(*tree, meshes, std::move(bytes.value()));
    // A failed write leaves what stood at the path as it was: worth telling only where
    // there was a file to keep.
    std::error_code unknown;
    const bool fileWasThere =
        std::filesystem::exists(std::filesystem::symlink_status(outputPath, unknown));
    if (Status written = WriteUtfFile(*tree, outputPath.c_str()); !written) {
        return Error{written.code(),
                     "Could not write " + NameInMessage(outputPath) + ": " + written.message() +
                         (fileWasThere ? "\nA file that was already there is unchanged." : "")};
    }
    return Status::Ok();
}

}  // namespace cmp
