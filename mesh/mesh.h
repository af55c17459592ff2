// The mesh library: turns the host's model into the exporter's own mesh records and
// those into the file's mesh data stream, and reads such a stream back.
//
// How the parts fit, in the order an export uses them:
// - records: ExportVertex and ExportMesh, one per host mesh in host order (a MeshList);
//   names are fixed 200-byte fields, and a mesh whose name begins "hp" is flagged as a
//   hardpoint once, at extraction.
// - ExtractMeshes (extract.cpp) reads the host model through the model library and
//   fills the records, calling GenerateNormals (normals.cpp) for face and vertex normals.
// - CheckFormatLimits (format_limits.cpp) refuses, before a byte is written, what the
//   stream's 16-bit counts cannot hold, with reasons the user can act on.
// - the mesh data stream: one encoder (mesh_data_stream.cpp) writes every non-hardpoint
//   mesh as header, mesh headers, indices and vertices; one decoder
//   (mesh_stream_decoder.cpp) is how every reader of those bytes reads them.
// - NameId (name_id.cpp): the format's case-blind 32-bit identifier of a name, which the
//   stream uses for materials and the node tree for library entries.
// Everything here is plain C++ and bit-exact across platforms: the float rules each
// function follows are on its declaration.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "core/little_endian.h"
#include "host/ztModelLib.h"

namespace cmp {

// --- Records -----------------------------------------------------------------------------

struct Vector3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// One vertex as the mesh data stream stores it: eight little-endian floats.
struct ExportVertex {
    float position[3];
    float normal[3];
    float u;
    float v;
};
static_assert(sizeof(ExportVertex) == 32, "the mesh data stream stores 32-byte vertices");

// False when a position component or texture coordinate is NaN or infinite.
inline bool HasFiniteValues(const ExportVertex& vertex) {
    return std::isfinite(vertex.position[0]) && std::isfinite(vertex.position[1]) &&
           std::isfinite(vertex.position[2]) && std::isfinite(vertex.u) && std::isfinite(vertex.v);
}

// Host units to game units: the float nearest 1/92, applied by one single-precision
// multiplication (not a division, which differs in the last bit for some values).
inline const float ModelScale = std::bit_cast<float>(std::uint32_t{0x3C321643});
inline const float MinusModelScale = std::bit_cast<float>(std::uint32_t{0xBC321643});

// Host name buffers: the host is told 199 bytes, so the last byte always stays 0.
inline constexpr int NameFieldSize = 200;
inline constexpr int HostNameCapacity = NameFieldSize - 1;

struct ExportMesh {
    std::vector<ExportVertex> vertices;     // host order
    std::vector<std::uint16_t> triangles;   // three corners per triangle, local to the mesh
    char materialName[NameFieldSize] = {};  // NUL-terminated; empty when there is no material
    char meshName[NameFieldSize] = {};      // NUL-terminated
    // Whether meshName begins with "hp" in any letter case (IsHardpointName), set once at
    // extraction; every later step asks this flag, never the name.
    bool isHardpoint = false;
    // One unit normal per triangle; (0,0,0) for a degenerate one, and for a triangle
    // naming a vertex the mesh lacks (left out of normals and the hardpoint search; the
    // format check refuses such a model). None for a hardpoint's mesh, whose vertex
    // normals also keep DefaultVertexNormal: neither is ever written or used.
    std::vector<Vector3> faceNormals;

    std::size_t GetTriangleCount() const { return triangles.size() / 3; }
};

// The run's ordered list of meshes, hardpoint meshes included.
using MeshList = std::vector<ExportMesh>;

// The mesh's name up to its first 0 byte, never past the end of the 200-byte field: a
// view of the record's own bytes.
inline std::string_view MeshNameOf(const ExportMesh& mesh) {
    const char* end = std::find(std::begin(mesh.meshName), std::end(mesh.meshName), '\0');
    return {mesh.meshName, static_cast<std::size_t>(end - mesh.meshName)};
}

// --- Extraction --------------------------------------------------------------------------

// The most meshes, and the most vertices or triangles of one mesh, that extraction
// reads. A larger count from the host is read as this many: no storable model comes
// near (the mesh data stream holds at most 65,535 vertices and 21,845 triangles of
// ordinary meshes), CheckFormatLimits refuses such a model by its totals, and a host
// that reports billions cannot exhaust memory.
inline constexpr std::int32_t MaxHostMeshCount = 1 << 18;
inline constexpr std::int32_t MaxHostElementCount = 1 << 20;

// Appends one ExportMesh per host mesh, in host order, with converted positions,
// texture coordinates, triangles, the hardpoint flag and normals (GenerateNormals).
// Nothing is judged here: CheckFormatLimits refuses what the file cannot hold. Never
// calls the model library with a null handle and never reads outside what the host returns: a null
// model adds nothing; a null mesh handle gives an empty record; a null material handle leaves the
// material name empty; a null vertex or triangle handle gives zeros; a negative count is taken as
// 0. Names are cut to HostNameCapacity bytes.
void ExtractMeshes(ztModel model, MeshList& meshes);

// --- Hardpoint names ---------------------------------------------------------------------

// True when the first two characters are "hp" in any ASCII letter case. Null-safe.
// Extraction asks this once per mesh and keeps the answer (ExportMesh::isHardpoint),
// which every later step goes by.
bool IsHardpointName(const char* name);

// --- Normals -----------------------------------------------------------------------------

// The normal a vertex gets when no usable face normal reaches it: straight up.
inline constexpr Vector3 DefaultVertexNormal{0.0f, 1.0f, 0.0f};

// Fills the normal of every vertex a triangle uses and returns the face normals, one per
// triangle (triangles holds three corners per triangle; a trailing partial triangle is
// ignored).
// A face normal follows the right-hand rule over the corner order: float edges p1 - p0
// and p2 - p0, each cross-product component computed in double and rounded once, then
// divided by its length (taken in double; each component divided in double and rounded
// once); (0, 0, 0) for a degenerate triangle or one whose length is not finite.
// A vertex normal is the mean of the face normals of the triangles that use the vertex,
// added in single precision in ascending triangle order, at unit length as above; a
// triangle that names a vertex more than once counts once for it, and a degenerate
// triangle counts with (0, 0, 0). Triangles with a corner at or above vertices.size() get (0, 0, 0)
// and count for no vertex. A vertex whose mean has zero length gets DefaultVertexNormal; a vertex
// that no triangle uses keeps the normal it has (extraction gives every vertex DefaultVertexNormal
// as it reads it). Time and memory are linear in the mesh size, and vertices no triangle uses cost
// nothing.
std::vector<Vector3> GenerateNormals(std::vector<ExportVertex>& vertices,
                                     const std::vector<std::uint16_t>& triangles);

// --- Name identifiers --------------------------------------------------------------------

// The 256-entry table of the identifier checksum (not the standard CRC-32 table).
const std::array<std::uint32_t, 256>& NameIdTable();

// The file format's 32-bit identifier of a name, blind to ASCII letter case. The empty
// name (and a null pointer) gives 0.
std::uint32_t NameId(const char* name);

// --- Format limits -----------------------------------------------------------------------

// The mesh data stream stores its counts and vertex numbers in 16 bits.
inline constexpr std::int64_t MaxStreamMeshes = 65535;
inline constexpr std::int64_t MaxStreamIndices = 65535;
inline constexpr std::int64_t MaxStreamVertices = 65535;

// The most reasons one message lists; further ones are summed up in a last line.
inline constexpr std::size_t MaxListedProblems = 10;

enum class FormatProblemKind {
    TooManyMeshes,     // count: meshes besides hardpoints; limit: MaxStreamMeshes
    TooManyCorners,    // count: corners in all, three a triangle; limit: MaxStreamIndices
    TooManyVertices,   // count: vertices in all; limit: MaxStreamVertices
    VertexOutOfRange,  // count: the vertex a corner uses; limit: the mesh's vertex count
    NotFinite,         // a position or texture coordinate that is not a finite number
};

// One reason a list of meshes cannot be stored as a mesh data stream. For a total,
// `meshName` is the mesh at which it first passes its limit; otherwise the mesh at fault.
struct FormatProblem {
    FormatProblemKind kind = FormatProblemKind::TooManyMeshes;
    std::string meshName;
    std::int64_t count = 0;  // see the kinds; 0 for NotFinite
    std::int64_t limit = 0;  // see the kinds; 0 for NotFinite
    std::size_t at = 0;      // the triangle (VertexOutOfRange) or vertex (NotFinite) at fault
};

// Every reason this list cannot be stored as a mesh data stream, in list order, totals
// first: more than 65,535 non-hardpoint meshes, or indices or vertices in all (of
// non-hardpoint meshes); a corner at or above its mesh's vertex count (any mesh; the
// first such corner of each); a position or texture coordinate that is not finite (any
// mesh; its first such vertex). Which meshes are hardpoints it takes from the record's
// flag that extraction set; the rest it reads from the vertices and corners themselves.
std::vector<FormatProblem> FindFormatProblems(const MeshList& meshes);

// The refusal's reasons in the plug-in's words: the first MaxListedProblems problems,
// then a line that sums up the rest ("and 3 more problems"), for example:
//   mesh "Hull" uses vertex 70 but has 64 vertices (triangle 3)
// A reason holds a line break only where a mesh name does.
std::vector<std::string> RefusalReasons(const std::vector<FormatProblem>& problems);

// Ok without problems; otherwise ErrorCode::ModelRefused whose message is the reasons,
// one a line.
Status RefusalOf(const std::vector<FormatProblem>& problems);

// RefusalOf(FindFormatProblems(meshes)), checked before any byte is written.
Status CheckFormatLimits(const MeshList& meshes);

// --- Mesh data stream: the encoder -------------------------------------------------------

// Constants of the format: stream header version fields, the vertex layout code
// (position, normal, one texture-coordinate pair) and the mesh header's trailing field.
inline constexpr std::uint32_t StreamHeaderFirst = 1;
inline constexpr std::uint32_t StreamHeaderSecond = 4;
inline constexpr std::uint16_t StreamVertexFormat = 0x0112;
inline constexpr std::uint16_t StreamMeshTrailer = 0x00CC;

inline constexpr std::size_t StreamHeaderSize = 16;
inline constexpr std::size_t StreamMeshHeaderSize = 12;
inline constexpr std::size_t StreamIndexSize = 2;
inline constexpr std::size_t StreamVertexSize = 32;

// The longest stream the format's 16-bit counts allow.
inline constexpr std::size_t MaxMeshDataStreamSize =
    StreamHeaderSize + MaxStreamMeshes * StreamMeshHeaderSize + MaxStreamIndices * StreamIndexSize +
    MaxStreamVertices * StreamVertexSize;

// The mesh data stream of every non-hardpoint mesh, in list order: 16-byte header,
// 12-byte mesh headers, index arrays, vertex arrays; 16 + 12 M + 2 I + 32 V bytes. Every
// field is stored in little-endian order, one by one, whatever the machine. Counts come
// from the arrays themselves (vertices.size(), triangles.size() / 3), so nothing outside
// them is read. Assumes CheckFormatLimits passed; counts beyond 16 bits are truncated to
// their field otherwise.
Bytes BuildMeshDataStream(const MeshList& meshes);

// The same stream as pieces to write one after another. On a little-endian machine the
// meshes' index and vertex arrays already hold the stream's bytes, so only the headers
// are built and the arrays are pieces of their own; elsewhere the one piece is
// BuildMeshDataStream(meshes). The pieces are valid while this object and `meshes` live
// unchanged.
class MeshDataStreamPieces {
  public:
    explicit MeshDataStreamPieces(const MeshList& meshes);
    MeshDataStreamPieces(const MeshDataStreamPieces&) = delete;
    MeshDataStreamPieces& operator=(const MeshDataStreamPieces&) = delete;

    std::span<const BytePiece> GetPieces() const { return pieces_; }

  private:
    Bytes built_;  // the headers, or the whole stream
    std::vector<BytePiece> pieces_;
};

// The length of BuildMeshDataStream(meshes), without building it.
std::size_t MeshDataStreamSize(const MeshList& meshes);

// --- Mesh data stream: the decoder -------------------------------------------------------

// Every reader of the stream's bytes reads them here: field by field as the file holds
// them, and never past the bytes given.

// The 16-byte header of a mesh data stream.
struct MeshStreamHeader {
    std::uint32_t first = 0;
    std::uint32_t second = 0;
    std::uint16_t meshCount = 0;
    std::uint16_t indexCount = 0;
    std::uint16_t vertexFormat = 0;
    std::uint16_t vertexCount = 0;
};

// The 12-byte header of one mesh in the stream.
struct MeshStreamMesh {
    std::uint32_t material = 0;
    std::uint16_t startVertex = 0;
    std::uint16_t endVertex = 0;  // inclusive
    std::uint16_t indexCount = 0;
    std::uint16_t trailer = 0;
    // The end vertex is inclusive and wraps in 16 bits, like the writer's.
    std::uint32_t VertexCount() const {
        return static_cast<std::uint16_t>(endVertex - startVertex + 1);
    }
};

// One vertex record as stored.
struct MeshStreamVertex {
    float position[3] = {0, 0, 0};
    float normal[3] = {0, 0, 0};
    float u = 0;
    float v = 0;
};

// The header; nothing when the bytes are fewer than a header.
std::optional<MeshStreamHeader> ReadMeshStreamHeader(std::span<const std::uint8_t> bytes);

// The length in bytes that a header's counts call for.
std::uint64_t MeshStreamLength(const MeshStreamHeader& header);

// The headers of the first `count` meshes, as many as lie whole inside `bytes` (fewer
// when the stream is cut short).
std::vector<MeshStreamMesh> ReadMeshStreamMeshes(std::span<const std::uint8_t> bytes,
                                                 std::uint16_t count);

// Whether the first bytes of a file (`head`, at least its header) and its length make it
// a whole stream as this exporter writes one: the header's version fields and vertex
// format, and exactly the length its counts call for.
bool IsWholeMeshDataStream(std::span<const std::uint8_t> head, std::uint64_t length);

// Whether they make it the start of such a stream, cut short: what a writer stopped in the
// middle leaves.
bool IsUnfinishedMeshDataStream(std::span<const std::uint8_t> head, std::uint64_t length);

// A stream checked whole: its header, every mesh's header, and where each mesh's indices
// and vertices begin.
struct DecodedMeshStream {
    MeshStreamHeader header;
    std::vector<MeshStreamMesh> meshes;
    std::vector<std::size_t> indicesAt;   // byte offset of each mesh's first index
    std::vector<std::size_t> verticesAt;  // byte offset of each mesh's first vertex
};

// Checks every count and bound of a stream: the header (the known vertex format), the
// length its counts call for, each mesh's indices and vertices inside the stream, whole
// triangles, and every index within its mesh's vertices. MalformedStream naming the
// first problem and its byte offset.
[[nodiscard]] Result<DecodedMeshStream> DecodeMeshStream(std::span<const std::uint8_t> bytes);

// Index `i` of mesh `m`, and vertex `v` of mesh `m`, of a decoded stream.
std::uint16_t MeshStreamIndex(std::span<const std::uint8_t> bytes, const DecodedMeshStream& stream,
                              std::size_t m, std::size_t i);
MeshStreamVertex MeshStreamVertexAt(std::span<const std::uint8_t> bytes,
                                    const DecodedMeshStream& stream, std::size_t m, std::size_t v);

}  // namespace cmp
