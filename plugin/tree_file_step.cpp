#include "plugin/tree_file_step.h"

#include <exception>
#include <new>

#include "mesh/mesh_data_stream.h"
#include "tree/compound_layout.h"
#include "utf/utf_writer.h"

namespace cmp {

const NodeTree* TreeFileStep::Run() {
    try {
        return Build();
    } catch (const std::bad_alloc& failure) {
        outcome_ = Error{ErrorCode::OutOfMemory,
                         std::string("Could not build the model tree: ") + failure.what()};
    } catch (const std::exception& failure) {
        outcome_ = Error{ErrorCode::DialogFailed,
                         std::string("Could not build the model tree: ") + failure.what()};
    }
    tree_.reset();
    return nullptr;
}

const NodeTree* TreeFileStep::Build() {
    if (meshes_.empty()) {
        outcome_ = Error{ErrorCode::EmptyTree,
                         "Could not build the model tree: there are no meshes to export"};
        return nullptr;
    }
    Result<Bytes> stream = stream_.ReadBack(MeshDataStreamSize(meshes_));
    if (!stream) {
        outcome_ = Error{stream.code(), "Could not read the mesh data back: " + stream.message() +
                                            "\nNothing was exported."};
        return nullptr;
    }
    tree_ = std::make_unique<NodeTree>();
    BuildCompoundLayout(*tree_, meshes_, std::move(stream.value()));

    if (Status written = WriteUtfFile(*tree_, outputPath_.c_str()); !written) {
        outcome_ =
            Error{written.code(), "Could not write " + outputPath_ + ": " + written.message() +
                                      "\nA file that was already there is unchanged."};
    } else {
        outcome_ = Status::Ok();
    }
    return tree_.get();
}

}  // namespace cmp
