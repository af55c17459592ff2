#include "tree/compound_layout.h"

#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "mesh/format_limits.h"
#include "mesh/hardpoint_name.h"
#include "mesh/mesh_data_stream.h"
#include "mesh/name_id.h"
#include "tree/hardpoints.h"
#include "tree/mesh_name.h"
#include "tree/mesh_reference.h"

namespace cmp {

namespace {

constexpr std::size_t MaxMeshDataStreamSize =
    StreamHeaderSize + MaxStreamMeshes * StreamMeshHeaderSize + MaxStreamIndices * StreamIndexSize +
    MaxStreamVertices * StreamVertexSize;

std::unique_ptr<Payload> MakePayload(Bytes bytes) {
    auto payload = std::make_unique<Payload>();
    payload->bytes = std::move(bytes);
    return payload;
}

// The text and its terminating 0 byte.
Bytes TextPayload(const std::string& text) {
    Bytes bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

Error ReadBackError(const char* path, const std::string& what) {
    return Error{"cannot read the mesh data back from '" + std::string(path) + "': " + what};
}

}  // namespace

std::int32_t CountNonHardpointMeshes(const MeshList& meshes) {
    std::int32_t count = 0;
    for (const ExportMesh& mesh : meshes) {
        if (!IsHardpointName(MeshNameOf(mesh).c_str())) {
            ++count;
        }
    }
    return count;
}

Result<Bytes> ReadBackMeshDataStream(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        return ReadBackError(path, std::strerror(errno));
    }
    Bytes stream;
    std::string problem;
    long length = -1;
    if (std::fseek(file, 0, SEEK_END) != 0 || (length = std::ftell(file)) < 0 ||
        std::fseek(file, 0, SEEK_SET) != 0) {
        problem = std::string("cannot find its length: ") + std::strerror(errno);
    } else if (static_cast<unsigned long>(length) > MaxMeshDataStreamSize) {
        // Also what a directory or a device reports; never allocate for it.
        problem = "it claims " + std::to_string(length) +
                  " bytes, more than any mesh data stream can hold";
    } else {
        stream.resize(static_cast<std::size_t>(length));
        const std::size_t got =
            stream.empty() ? 0 : std::fread(stream.data(), 1, stream.size(), file);
        if (got != stream.size()) {
            problem = "it yielded " + std::to_string(got) + " of its " + std::to_string(length) +
                      " bytes";
            if (std::ferror(file) && errno != 0) {
                problem += std::string(": ") + std::strerror(errno);
            }
        }
    }
    std::fclose(file);
    if (!problem.empty()) {
        // Left in place for a look; the next export overwrites it.
        return ReadBackError(path, problem);
    }
    std::remove(path);
    return stream;
}

Bytes MeshRefRecord(const std::string& libraryEntryName, std::int32_t meshCount) {
    MeshReference reference;
    reference.libraryId = NameId(libraryEntryName.c_str());
    reference.meshCount = static_cast<std::uint16_t>(meshCount);
    return EncodeMeshReference(reference);
}

void BuildCompoundLayoutFromStream(NodeTree& tree, const MeshList& meshes, Bytes meshDataStream) {
    assert(!meshes.empty());
    const std::string baseName = meshes.empty() ? std::string() : MeshNameOf(meshes.front());
    const std::string libraryEntryName = baseName + ".lod0.vms";
    const std::string modelFileName = baseName + ".3db";

    const NodeHandle root = tree.InsertNode(NodeHandle(), "\\");
    const NodeHandle library = tree.InsertNode(root, "VMeshLibrary");
    const NodeHandle libraryEntry = tree.InsertNode(library, libraryEntryName);
    tree.SetPayload(tree.InsertNode(libraryEntry, "VMeshData"),
                    MakePayload(std::move(meshDataStream)));

    const NodeHandle compound = tree.InsertNode(root, "Cmpnd");
    const NodeHandle compoundRoot = tree.InsertNode(compound, "Root");
    tree.SetPayload(tree.InsertNode(compoundRoot, "File name"),
                    MakePayload(TextPayload(modelFileName)));
    tree.SetPayload(tree.InsertNode(compoundRoot, "Index"), MakePayload(Bytes(8, 0)));
    tree.SetPayload(tree.InsertNode(compoundRoot, "Object name"), MakePayload(TextPayload("Root")));

    // "Hardpoints" must be the model file node's first child, so the hardpoint nodes come
    // before "MultiLevel" in insertion order.
    const NodeHandle modelFile = tree.InsertNode(root, modelFileName);
    AddHardpoints(tree, tree.InsertNode(modelFile, "Hardpoints"), meshes);

    const NodeHandle multiLevel = tree.InsertNode(modelFile, "MultiLevel");
    const NodeHandle level = tree.InsertNode(multiLevel, "Level0");
    const NodeHandle part = tree.InsertNode(level, "VMeshPart");
    tree.SetPayload(tree.InsertNode(part, "VMeshRef"),
                    MakePayload(MeshRefRecord(libraryEntryName, CountNonHardpointMeshes(meshes))));
}

Status BuildCompoundLayout(NodeTree& tree, const MeshList& meshes, const char* path) {
    Result<Bytes> stream = ReadBackMeshDataStream(path);
    if (!stream) {
        return stream.status();
    }
    if (meshes.empty()) {
        return Error{"cannot build the compound model: the model has no meshes"};
    }
    // The file in the current folder is not ours alone: a link to a device, or another
    // program, can hand back other bytes than were written. A stream of the wrong length
    // would make a file that the game cannot read.
    const std::size_t expected = MeshDataStreamSize(meshes);
    if (stream.value().size() != expected) {
        return ReadBackError(path, "it yielded " + std::to_string(stream.value().size()) +
                                       " bytes where the meshes call for " +
                                       std::to_string(expected));
    }
    BuildCompoundLayoutFromStream(tree, meshes, std::move(stream.value()));
    return Status::Ok();
}

}  // namespace cmp
