#include "modelhost/import_model.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "standin/ztModelBuilder.h"

namespace cmp {

namespace {

constexpr std::size_t VertexWireSize = 5 * 4;
constexpr std::size_t TriangleWireSize = 3 * 2;

void AppendText(Bytes& out, const std::string& text, std::size_t most) {
    const std::size_t length = std::min(text.size(), most);
    AppendU32(out, static_cast<std::uint32_t>(length));
    out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
}

void AppendHeader(Bytes& out, ImportWireKind kind) {
    AppendU32(out, ImportWireMagic);
    AppendU32(out, ImportWireVersion);
    AppendU32(out, static_cast<std::uint32_t>(kind));
}

// A name as the model functions give it, with room for the longest the wire carries.
template <class Handle>
std::string ReadName(void (*get)(Handle, char*, std::int32_t), Handle handle) {
    std::vector<char> buffer(MaxWireNameLength + 1, '\0');
    get(handle, buffer.data(), static_cast<std::int32_t>(MaxWireNameLength));
    return std::string(buffer.data());
}

std::uint32_t WireCount(std::int32_t reported, std::uint32_t most) {
    return reported <= 0 ? 0 : std::min(static_cast<std::uint32_t>(reported), most);
}

void AppendMesh(Bytes& out, ztMesh mesh) {
    AppendText(out, ReadName(ztMesh_GetName, mesh), MaxWireNameLength);
    AppendU32(out, static_cast<std::uint32_t>(ztMesh_GetMaterialIndex(mesh)));
    const std::uint32_t vertices = WireCount(ztMesh_GetVertexCount(mesh), MaxWireMeshVertices);
    AppendU32(out, vertices);
    for (std::uint32_t v = 0; v < vertices; ++v) {
        float xyz[3] = {0.0f, 0.0f, 0.0f};
        float uv[2] = {0.0f, 0.0f};
        const ztVertex vertex = ztMesh_GetVertexAt(mesh, static_cast<std::int32_t>(v));
        ztVertex_GetVertex(vertex, xyz);
        ztVertex_GetTexCoords(vertex, uv);
        for (const float value : {xyz[0], xyz[1], xyz[2], uv[0], uv[1]}) {
            AppendF32(out, value);
        }
    }
    const std::uint32_t triangles = WireCount(ztMesh_GetTriangleCount(mesh), MaxWireMeshTriangles);
    AppendU32(out, triangles);
    for (std::uint32_t t = 0; t < triangles; ++t) {
        std::uint16_t corners[3] = {0, 0, 0};
        ztTriangle_GetVertexIndices(ztMesh_GetTriangleAt(mesh, static_cast<std::int32_t>(t)),
                                    corners);
        for (const std::uint16_t corner : corners) {
            AppendU16(out, corner);
        }
    }
}

// Reads one message, either checking it only or building what it carries. The check
// pass and the build pass run the same code, so the build pass meets no surprise.
class WireReader {
  public:
    WireReader(const Bytes& bytes, ztModel build) : bytes_(bytes), build_(build) {}

    Result<ImportReply> Read() {
        const std::optional<std::uint32_t> magic = U32();
        if (!magic || *magic != ImportWireMagic) {
            return Fail(0, "it does not begin with the import reply's magic");
        }
        const std::optional<std::uint32_t> version = U32();
        if (!version || *version != ImportWireVersion) {
            return Fail(4, "unknown version");
        }
        const std::optional<std::uint32_t> kind = U32();
        if (!kind) {
            return Fail(8, "no kind");
        }
        ImportReply reply;
        switch (*kind) {
            case static_cast<std::uint32_t>(ImportWireKind::Model):
                reply.kind = ImportWireKind::Model;
                if (!ReadModel() || !ReadSummary(reply.summary)) {
                    return Fail(failedAt_, problem_);
                }
                break;
            case static_cast<std::uint32_t>(ImportWireKind::ImportFailed): {
                reply.kind = ImportWireKind::ImportFailed;
                std::optional<std::string> message = Text(MaxWireMessageLength, "message");
                if (!message) {
                    return Fail(failedAt_, problem_);
                }
                reply.message = std::move(*message);
                break;
            }
            case static_cast<std::uint32_t>(ImportWireKind::OutOfMemory):
                reply.kind = ImportWireKind::OutOfMemory;
                break;
            default:
                return Fail(8, "unknown kind " + std::to_string(*kind));
        }
        if (at_ != bytes_.size()) {
            return Fail(at_, std::to_string(bytes_.size() - at_) + " bytes follow its end");
        }
        return reply;
    }

  private:
    std::size_t Remaining() const { return bytes_.size() - at_; }

    std::optional<std::uint32_t> U32() {
        if (Remaining() < 4) {
            return std::nullopt;
        }
        const std::uint32_t value = LoadU32(&bytes_[at_]);
        at_ += 4;
        return value;
    }

    bool Problem(std::size_t at, std::string what) {
        failedAt_ = at;
        problem_ = std::move(what);
        return false;
    }

    // A count that must not pass `most` nor claim more elements than the bytes hold.
    std::optional<std::uint32_t> Count(std::uint32_t most, std::size_t elementSize,
                                       const char* what) {
        const std::size_t at = at_;
        const std::optional<std::uint32_t> count = U32();
        if (!count) {
            Problem(at, std::string("it ends before the ") + what + " count");
            return std::nullopt;
        }
        if (*count > most) {
            Problem(at, std::string("the ") + what + " count " + std::to_string(*count) +
                            " passes the bound of " + std::to_string(most));
            return std::nullopt;
        }
        if (*count > Remaining() / elementSize) {
            Problem(at, std::string("the ") + what + " count " + std::to_string(*count) +
                            " needs more than the " + std::to_string(Remaining()) +
                            " bytes that remain");
            return std::nullopt;
        }
        return count;
    }

    std::optional<std::string> Text(std::size_t most, const char* what) {
        const std::size_t at = at_;
        const std::optional<std::uint32_t> length = U32();
        if (!length) {
            Problem(at, std::string("it ends before a ") + what);
            return std::nullopt;
        }
        if (*length > most) {
            Problem(at, std::string("a ") + what + " of " + std::to_string(*length) +
                            " bytes, more than " + std::to_string(most));
            return std::nullopt;
        }
        if (*length > Remaining()) {
            Problem(at, std::string("a ") + what + " of " + std::to_string(*length) +
                            " bytes, more than the " + std::to_string(Remaining()) +
                            " that remain");
            return std::nullopt;
        }
        std::string text(reinterpret_cast<const char*>(&bytes_[at_]), *length);
        at_ += *length;
        return text;
    }

    bool ReadModel() {
        const std::optional<std::uint32_t> materials = Count(MaxWireMaterials, 4, "material");
        if (!materials) {
            return false;
        }
        for (std::uint32_t m = 0; m < *materials; ++m) {
            const std::optional<std::string> name = Text(MaxWireNameLength, "material name");
            if (!name) {
                return false;
            }
            if (build_ != nullptr) {
                static_cast<void>(ztBuild_AddMaterial(build_, name->c_str()));
            }
        }
        // The smallest mesh: a name length, a material index and two counts.
        const std::optional<std::uint32_t> meshes = Count(MaxWireMeshes, 16, "mesh");
        if (!meshes) {
            return false;
        }
        for (std::uint32_t m = 0; m < *meshes; ++m) {
            if (!ReadMesh()) {
                return false;
            }
        }
        return true;
    }

    bool ReadMesh() {
        const std::optional<std::string> name = Text(MaxWireNameLength, "mesh name");
        if (!name) {
            return false;
        }
        const std::optional<std::uint32_t> material = U32();
        if (!material) {
            return Problem(at_, "it ends before a material index");
        }
        ztMesh mesh = nullptr;
        if (build_ != nullptr) {
            mesh = ztBuild_AddMesh(build_, name->c_str(), static_cast<std::int32_t>(*material));
        }
        const std::optional<std::uint32_t> vertices =
            Count(MaxWireMeshVertices, VertexWireSize, "vertex");
        if (!vertices) {
            return false;
        }
        if (mesh != nullptr) {
            for (std::uint32_t v = 0; v < *vertices; ++v) {
                const std::uint8_t* at = &bytes_[at_ + v * VertexWireSize];
                ztBuild_AddVertex(mesh, LoadF32(at), LoadF32(at + 4), LoadF32(at + 8),
                                  LoadF32(at + 12), LoadF32(at + 16));
            }
        }
        at_ += *vertices * VertexWireSize;
        const std::optional<std::uint32_t> triangles =
            Count(MaxWireMeshTriangles, TriangleWireSize, "triangle");
        if (!triangles) {
            return false;
        }
        if (mesh != nullptr) {
            for (std::uint32_t t = 0; t < *triangles; ++t) {
                const std::uint8_t* at = &bytes_[at_ + t * TriangleWireSize];
                ztBuild_AddTriangle(mesh, LoadU16(at), LoadU16(at + 2), LoadU16(at + 4));
            }
        }
        at_ += *triangles * TriangleWireSize;
        return true;
    }

    bool ReadSummary(ImportSummary& summary) {
        const std::size_t at = at_;
        const std::optional<std::uint32_t> points = U32();
        const std::optional<std::uint32_t> lines = U32();
        if (!points || !lines) {
            return Problem(at, "it ends before the counts of dropped points and lines");
        }
        summary = {*points, *lines, {}};
        const std::optional<std::uint32_t> files = Count(MaxWireFilesRead, 4, "file");
        if (!files) {
            return false;
        }
        for (std::uint32_t f = 0; f < *files; ++f) {
            std::optional<std::string> path = Text(MaxWirePathLength, "path");
            if (!path) {
                return false;
            }
            summary.filesRead.push_back(std::move(*path));
        }
        return true;
    }

    static Error Fail(std::size_t at, const std::string& what) {
        return Error{ErrorCode::MalformedReply,
                     "malformed reply at byte " + std::to_string(at) + ": " + what};
    }

    const Bytes& bytes_;
    ztModel build_;
    std::size_t at_ = 0;
    std::size_t failedAt_ = 0;
    std::string problem_;
};

}  // namespace

Bytes EncodeImportedModel(ztModel model, const ImportSummary& summary) {
    Bytes out;
    AppendHeader(out, ImportWireKind::Model);
    const std::uint32_t materials = WireCount(ztModel_GetMaterialCount(model), MaxWireMaterials);
    AppendU32(out, materials);
    for (std::uint32_t m = 0; m < materials; ++m) {
        const ztMaterial material = ztModel_GetMaterialAt(model, static_cast<std::int32_t>(m));
        AppendText(out, ReadName(ztMaterial_GetName, material), MaxWireNameLength);
    }
    const std::uint32_t meshes = WireCount(ztModel_GetMeshCount(model), MaxWireMeshes);
    AppendU32(out, meshes);
    for (std::uint32_t m = 0; m < meshes; ++m) {
        AppendMesh(out, ztModel_GetMeshAt(model, static_cast<std::int32_t>(m)));
    }
    AppendU32(out, summary.droppedPoints);
    AppendU32(out, summary.droppedLines);
    std::vector<const std::string*> files;
    for (const std::string& path : summary.filesRead) {
        if (path.size() <= MaxWirePathLength && files.size() < MaxWireFilesRead) {
            files.push_back(&path);
        }
    }
    AppendU32(out, static_cast<std::uint32_t>(files.size()));
    for (const std::string* path : files) {
        AppendText(out, *path, MaxWirePathLength);
    }
    return out;
}

Bytes EncodeImportFailure(const std::string& message) {
    Bytes out;
    AppendHeader(out, ImportWireKind::ImportFailed);
    AppendText(out, message, MaxWireMessageLength);
    return out;
}

Bytes EncodeImportOutOfMemory() {
    Bytes out;
    AppendHeader(out, ImportWireKind::OutOfMemory);
    return out;
}

Result<ImportReply> DecodeImportReply(const Bytes& bytes, ztModel model) {
    if (bytes.size() > MaxWireBytes) {
        return Error{ErrorCode::MalformedReply,
                     "malformed reply of " + std::to_string(bytes.size()) +
                         " bytes, more than the " + std::to_string(MaxWireBytes) + " accepted"};
    }
    Result<ImportReply> checked = WireReader(bytes, nullptr).Read();
    if (!checked || checked.value().kind != ImportWireKind::Model) {
        return checked;
    }
    return WireReader(bytes, model).Read();
}

}  // namespace cmp
