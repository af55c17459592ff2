// The result dialog's start-up step of an export: the mesh data stream comes back from
// its temporary file, the compound-model tree is built around it and the tree file is
// written. The run hands this step to the dialog and reports its outcome afterwards.
#pragma once

#include <memory>
#include <string>

#include "core/error.h"
#include "mesh/mesh.h"
#include "plugin/temporary_stream.h"
#include "tree/tree.h"

namespace cmp {

// Reads `stream` back (removing its file), builds the tree of `meshes` (not empty) into
// `tree` and writes it to `outputPath` (any length). `tree` holds the tree to show also
// after a failed write, so that the user sees what could not be saved; it stays empty
// when no tree was built. The error's message is ready for the user: a read-back
// failure keeps its code (CannotRead, StreamMismatch), a failed write its writer's.
// May throw std::bad_alloc, which the plug-in's boundary turns into an error box.
[[nodiscard]] Status BuildAndWriteTreeFile(const MeshList& meshes, TemporaryStream& stream,
                                           const std::string& outputPath,
                                           std::unique_ptr<NodeTree>& tree);

}  // namespace cmp
