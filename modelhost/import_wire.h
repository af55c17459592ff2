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
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/error.h"
#include "core/little_endian.h"
#include "host/ztModelLib.h"
#include "modelhost/import_model.h"

namespace cmp {

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
