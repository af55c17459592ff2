// Fills a stand-in model from a model file through Assimp: the part of a host that
// turns a user's file into the meshes, materials, vertices and triangles that the
// model functions serve. Kept apart from the host program so that it can run elsewhere
// (another process) without change.
//
// The import runs in a child process (ImportModelIsolated), which hands its result back
// in a wire form the host checks as outside input (EncodeImportedModel,
// DecodeImportReply).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/error.h"
#include "core/little_endian.h"
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

// -- Import in a child process
//
// Model files come from anywhere, and the importer
// that reads them crashes, hangs or exhausts memory on some damaged files; in a child
// that costs the host nothing but a message.

struct ImportLimits {
    // The parent kills a child that has not delivered its model by then.
    std::chrono::milliseconds timeLimit{std::chrono::seconds(60)};
    // Address space the child may add to what it inherits at the fork (RLIMIT_AS): the
    // inherited mappings are large under sanitizers and debuggers, so the limit is a
    // budget on top of them rather than an absolute figure.
    std::uint64_t addressSpaceBudget = std::uint64_t{4} << 30;
};

// Imports `path` with ImportModel in a forked child without core dumps and under
// `limits`, and builds what the child sends back into `model` (which must be empty)
// after checking it as outside input (DecodeImportReply). Gives the import's summary.
//
// Every failure is one message that names the file:
//   cannot import 'ship.ply': the importer crashed (signal 11, Segmentation fault)
//   cannot import 'ship.ply': the importer took longer than 60 s
//   cannot import 'ship.ply': the importer ran out of memory
// or the importer's own message (ImportModel's) when it has one. `model` stays empty on
// failure. The caller must not have other threads running (fork).
[[nodiscard]] Result<ImportSummary> ImportModelIsolated(const std::string& path, ztModel model,
                                                        const ImportLimits& limits = {});

// "60 s", or "1500 ms" for a limit that is not a whole number of seconds.
std::string DescribeTimeLimit(std::chrono::milliseconds limit);

// -- The wire form of the child's result
//
// The wire form in which an import child hands its result to the host: either the
// imported model (materials, then meshes in order with their names, material indices,
// vertices and triangles) or the reason the import failed. The host treats these bytes
// as outside input: another process made them, one that may have been derailed by a
// hostile model file.
//
// Layout, every field little-endian, no padding:
//   u32 magic "ZTMW", u32 version (2), u32 kind
//   kind Model:
//     u32 material count, then per material: text name
//     u32 mesh count, then per mesh: text name, i32 material index,
//       u32 vertex count, then per vertex five f32 (x, y, z, u, v),
//       u32 triangle count, then per triangle three u16 corners
//     u32 points dropped, u32 lines dropped (the import's summary),
//     u32 count of files read, then per file: text path
//   kind ImportFailed: text message (the importer's own words)
//   kind OutOfMemory: nothing more
// where a text is a u32 byte count followed by that many bytes (no terminating 0).
// The message ends exactly after its last field.

inline constexpr std::uint32_t ImportWireMagic = 0x574D545A;  // "ZTMW"
inline constexpr std::uint32_t ImportWireVersion = 3;

enum class ImportWireKind : std::uint32_t {
    Model = 0,
    ImportFailed = 1,
    OutOfMemory = 2,
};

// Bounds the host holds every message to. Names beyond the importer's own 1,024 bytes
// come only from a derailed child; the counts are far beyond any model the plug-in can
// store, yet keep a lying child from making the host build billions of elements.
inline constexpr std::size_t MaxWireNameLength = 4096;
inline constexpr std::size_t MaxWireMessageLength = 65536;
inline constexpr std::uint32_t MaxWireMaterials = 1u << 20;
inline constexpr std::uint32_t MaxWireMeshes = 1u << 20;
inline constexpr std::uint32_t MaxWireMeshVertices = 65535;  // vertices are numbered in 16 bits
inline constexpr std::uint32_t MaxWireMeshTriangles = 1u << 24;
inline constexpr std::size_t MaxWireBytes = std::size_t{1} << 30;
inline constexpr std::uint32_t MaxWireFilesRead = 4096;
inline constexpr std::size_t MaxWirePathLength = 4096;

// The model as the model functions serve it: names read with a capacity of
// MaxWireNameLength bytes (longer ones are cut), every vertex and triangle that the
// reported counts cover, what the import dropped and the files it read. Counts beyond the
// wire's bounds are cut to them; a path longer than MaxWirePathLength is left out (no
// file can be named by such a path). May throw std::bad_alloc.
Bytes EncodeImportedModel(ztModel model, const ImportSummary& summary = {});

// A failed import: the message is cut to MaxWireMessageLength bytes.
Bytes EncodeImportFailure(const std::string& message);
Bytes EncodeImportOutOfMemory();

// What a well-formed message says.
struct ImportReply {
    ImportWireKind kind = ImportWireKind::Model;
    std::string message;    // ImportFailed only
    ImportSummary summary;  // Model only
};

// Checks the whole message before anything is built: magic, version and kind; every
// count against the bytes that remain and against the bounds above; every name's length;
// nothing left over at the end. Material indices, corners and numbers are data only:
// they go to the model as they are (the plug-in checks them). When the message carries a
// model it is built into `model`, which must be empty; on failure `model` is untouched
// and the error says what is wrong and at which byte offset.
[[nodiscard]] Result<ImportReply> DecodeImportReply(const Bytes& bytes, ztModel model);

}  // namespace cmp
