// Fills a stand-in model from a glTF 2.0 file (.glb, or .gltf with external or data:
// buffers) without Assimp: the importer of modelhost.exe on Windows, where Assimp is not
// built. It gives bit for bit the model that ImportModel (Assimp 5.2) gives for the same
// file, and reads the file as hostile input in the host's own process.
#pragma once

#include <string>

#include "core/error.h"
#include "host/ztModelLib.h"
#include "modelhost/import_rules.h"

namespace cmp {

// Imports the glTF file at `path` into `model`, which must be empty (ztBuild_CreateModel).
//
// The model is the one ImportModel gives: materials in the order Assimp comes upon them
// (walking the scene's nodes, each node's children before its own mesh, then the nodes of
// skins and animations), unnamed ones and "DefaultMaterial" counting as none; one host
// mesh per primitive of each node's mesh, in node order (depth first, children in file
// order), named by the shared rules (HostMeshName: the node, its nearest named ancestor,
// Assimp's name of the primitive, "<file name>_<n>"); positions through the accumulated
// node transforms in single precision as Assimp computes them (identity transforms leave
// them untouched); texture coordinates of TEXCOORD_0 with v flipped twice as Assimp
// flips it (1 - (1 - v)), (0, 0) without them; indices exactly as the file has them,
// strips and fans turned into triangles as Assimp turns them, corners 2 and 3 swapped
// under a mirroring transform; points and lines dropped and counted in the summary, except
// the points of a hardpoint (KeepsPointsAsHardpoint). The summary's filesRead holds
// `path`, then each buffer file read, named as Assimp names it (the folder of `path` as
// written, then the uri).
//
// Fails, leaving `model` partly filled, with one message naming the file ("cannot import
// 'ship.glb': ...", paths and names escaped with TerminalText), when the file or a buffer
// cannot be read; the JSON nests deeper than 128 levels or does not parse; it is no glTF
// 2.0; it has no scene; nodes do not form trees (a cycle, a node with two parents);
// anything refers to what the file does not have; an accessor or its view reaches past
// its data, has a stride narrower than its elements, is sparse or has no view; an index
// names a vertex the primitive lacks; a primitive has no POSITION, an unknown mode, or too
// few indices for one face; the model grows past any that could be exported. A mesh of
// more than 65,535 vertices fails as in ImportModel. Never throws: running out of memory
// and any exception from the libraries become a failure too.
Result<ImportSummary> ImportGltfModel(const std::string& path, ztModel model);

}  // namespace cmp
