// Fills a stand-in model from a model file through Assimp: the part of a host that
// turns a user's file into the meshes, materials, vertices and triangles that the
// model functions serve. Kept apart from the host program so that it can run elsewhere
// (another process) without change.
#pragma once

#include <string>

#include "core/error.h"
#include "host/ztModelLib.h"
#include "modelhost/import_rules.h"

namespace cmp {

// Imports the file at `path` into `model`, which must be empty (ztBuild_CreateModel).
//
// One host mesh per node-and-mesh instance, in node order (depth first, children in
// file order), with the node's accumulated transform applied to the positions; a mesh
// that two nodes use becomes two host meshes. A mesh is named after its node, else the
// nearest named ancestor, else its own name, else "Mesh<index>_<file name>" (a name
// that never begins with "hp", whatever the file is called); names that Assimp makes up
// for unnamed things ("defaultobject", "<STL_BINARY>", glTF's "nodes[2]", the "ROOT" it
// adds above a glTF scene of several root nodes, and the file's name it gives an OBJ's
// root) count as no name. Materials are added in file order by name; Assimp's
// "DefaultMaterial" and unnamed materials count as none (index -1). Texture coordinates
// are the first set with v flipped to a top-left origin (0, 0 when the file has none).
// Polygons are triangulated; points and lines are dropped and counted in the summary (a
// file with nothing else gives an empty model), except a mesh of points alone whose name
// reads as a hardpoint's (IsHardpointName) on a node without triangles: it keeps its
// vertices, with no triangles, as the place of that hardpoint. Vertices keep the file's
// order; for glTF, indices stay exactly as the file has them, elsewhere identical
// corners are joined. Where a node's accumulated transform mirrors (a negative
// determinant), each triangle keeps its first corner and swaps the other two, so that the
// part faces the way the modelling tool shows it. An FBX scene is scaled by its unit
// (UnitScaleFactor / 100), so that it comes out in metres as from the other formats;
// Collada's <unit> Assimp applies itself.
//
// Fails, leaving `model` partly filled, when the file cannot be read, its unit (FBX's or
// Collada's) is no finite length from 0.000001 to 1000000 metres, or a mesh has more than
// 65,535 vertices (the model functions index vertices with 16 bits). The message names
// the file (or the mesh) and the unit as the file gives it; paths and names in it are
// escaped for the terminal (TerminalText).
Result<ImportSummary> ImportModel(const std::string& path, ztModel model);

}  // namespace cmp
