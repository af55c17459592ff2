// What every model importer of the host shares, whichever library reads the file: the
// summary of an import, the names a host mesh gets, which transforms turn triangles
// around, and which file names are which format. No importing library is included here,
// so that the Windows build, which has no Assimp, applies the very same rules.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"

namespace cmp {

inline constexpr std::int32_t MaxImportedMeshVertices = 65535;

// What an import left out of the model: points and lines, one per point or line segment
// of each mesh instance (counts stop at the largest u32); and every file it read, the
// model file first, then those the model refers to (an OBJ's .mtl, a glTF's .bin), as
// the importer named them (relative to the working folder when the model's path is).
struct ImportSummary {
    std::uint32_t droppedPoints = 0;
    std::uint32_t droppedLines = 0;
    std::vector<std::string> filesRead;
    friend bool operator==(const ImportSummary&, const ImportSummary&) = default;
};

// True for the glTF 2.0 extensions (.gltf, .glb), in any letter case.
bool IsGltfPath(const std::string& path);

// True for binary glTF (.glb), in any letter case: Assimp reads a file as binary glTF by
// its extension alone, and so does the glTF importer.
bool IsBinaryGltfPath(const std::string& path);

// True for Collada's extensions (.dae, .zae), in any letter case.
bool IsColladaPath(const std::string& path);

// Names that Assimp makes up where the file has none ("<STL_BINARY>", OBJ's
// "defaultobject", glTF's "nodes[3]" and "meshes[0]", Collada's automatic ones) and the
// empty name: the user never typed them, so they do not name a mesh.
bool IsMadeUpName(std::string_view name);

// True for the root node that a glTF import adds above a scene of several root nodes:
// named "ROOT", without meshes, with more than one child. (A file's own single root of
// that shape reads the same way; both importers agree on it.)
bool IsAddedGltfRoot(std::string_view rootName, std::size_t meshCount, std::size_t childCount);

// A node whose name names the meshes below it: one whose name is not made up, unless it
// is the added glTF root (`skipRoot` for the scene's root).
struct NamingNode {
    std::string_view name;
    bool isRoot = false;
};
bool NamesMeshes(const NamingNode& node, bool skipRoot);

// The name of a host mesh: that of `namingNode`, the mesh's own node or its nearest
// ancestor that NamesMeshes (null when none does), else the mesh's own, else
// "<file name>_<meshesAdded>". A name made from the file's name, or equal to the file's
// name on the root (OBJ names its root after the file), gets "Mesh_" in front when it
// would read as a hardpoint's: a file called "hpship.obj" must not turn its geometry
// into one.
std::string HostMeshName(const NamingNode* namingNode, std::string_view meshName,
                         const std::string& fileName, std::int32_t meshesAdded);

// A mesh of points alone is kept, without triangles, when its name reads as a
// hardpoint's and its node holds no triangles: the plug-in places a hardpoint at its
// vertices. A node whose triangles make the hardpoint already must not get a second one
// of that name from stray points.
bool KeepsPointsAsHardpoint(const std::string& hostName, bool nodeHasTriangles);

// Counts one point (one corner) or line segment (two) that the import left out.
void CountDroppedFace(ImportSummary& summary, unsigned corners);

// The linear part of a node-to-scene transform, by rows.
using LinearPart = std::array<std::array<float, 3>, 3>;

// The determinant, computed in double so that tiny scales keep their sign: a mirror
// under a parent scaled by 1e-20 on every axis is still a mirror, where single precision
// would give 0.
double LinearDeterminant(const LinearPart& m);

// A transform that turns space inside out (a part scaled by -1 on one axis, the usual
// way to model the other wing) turns each triangle's winding with it: viewers show such a
// part the right way out by reversing its corners, and so must the host. A flattened part
// (a scale of 0) turns nothing.
bool IsMirroring(const LinearPart& m);

// The refusal of a mesh that the model functions cannot index with 16 bits.
Error TooManyVertices(const std::string& meshName, const std::string& fileName,
                      std::uint64_t vertexCount);

}  // namespace cmp
