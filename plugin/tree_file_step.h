// The result dialog's start-up step of an export: the mesh data stream comes back from
// its temporary file, the compound-model tree is built around it and the tree file is
// written. The run hands this step to the dialog and reads its outcome afterwards.
#pragma once

#include <memory>
#include <string>

#include "core/error.h"
#include "mesh/export_mesh.h"
#include "plugin/temporary_stream.h"
#include "tree/node_tree.h"

namespace cmp {

class TreeFileStep {
  public:
    // `meshes` (not empty) and `stream` (already written) are read and must outlive
    // the step; `outputPath` is the tree file's path, any length.
    TreeFileStep(const MeshList& meshes, TemporaryStream& stream, std::string outputPath)
        : meshes_(meshes), stream_(stream), outputPath_(std::move(outputPath)) {}

    // Reads the stream back (removing its file), builds the tree and writes the tree
    // file. Returns the tree to show, which lives as long as the step: also after a
    // failed write, so the user sees what could not be saved. Null when no tree was
    // built. Never throws; every failure goes into Outcome.
    const NodeTree* Run();

    // Ok once Run has written the file. Otherwise the error, its message ready for the
    // user: a read-back failure keeps its code (CannotRead, StreamMismatch); a failed
    // write its writer's code; a failed build OutOfMemory; a step never run DialogFailed.
    const Status& GetOutcome() const { return outcome_; }

  private:
    const NodeTree* Build();

    const MeshList& meshes_;
    TemporaryStream& stream_;
    std::string outputPath_;
    std::unique_ptr<NodeTree> tree_;
    Status outcome_ =
        Error{ErrorCode::DialogFailed, "Could not build the model tree: the dialog did not start"};
};

}  // namespace cmp
