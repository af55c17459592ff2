#include "tree/tree.h"

#include <cassert>
#include <string>

namespace cmp {

namespace {

// The text and its terminating 0 byte.
Bytes TextPayload(const std::string& text) {
    Bytes bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

}  // namespace

std::int32_t CountNonHardpointMeshes(const MeshList& meshes) {
    std::int32_t count = 0;
    for (const ExportMesh& mesh : meshes) {
        count += mesh.isHardpoint ? 0 : 1;
    }
    return count;
}

Bytes MeshRefRecord(const std::string& libraryEntryName, std::int32_t meshCount) {
    MeshReference reference;
    reference.libraryId = NameId(libraryEntryName.c_str());
    reference.meshCount = static_cast<std::uint16_t>(meshCount);
    return EncodeMeshReference(reference);
}

void BuildCompoundLayout(NodeTree& tree, const MeshList& meshes, Bytes meshDataStream) {
    assert(!meshes.empty());
    const std::string baseName =
        meshes.empty() ? std::string() : std::string(MeshNameOf(meshes.front()));
    const std::string libraryEntryName = baseName + ".lod0.vms";
    const std::string modelFileName = baseName + ".3db";

    // The nodes every file has, and at most six for each hardpoint, in one allocation.
    constexpr std::size_t FixedNodes = 20;
    constexpr std::size_t MostNodesPerHardpoint = 6;
    const std::int32_t ordinaryMeshes = CountNonHardpointMeshes(meshes);
    const std::size_t hardpointMeshes = meshes.size() - static_cast<std::size_t>(ordinaryMeshes);
    tree.Reserve(tree.GetSize() + FixedNodes + MostNodesPerHardpoint * hardpointMeshes);

    const NodeHandle root = tree.InsertNode(NodeHandle(), "\\");
    const NodeHandle library = tree.InsertNode(root, "VMeshLibrary");
    const NodeHandle libraryEntry = tree.InsertNode(library, libraryEntryName);
    tree.SetPayload(tree.InsertNode(libraryEntry, "VMeshData"), std::move(meshDataStream));

    const NodeHandle compound = tree.InsertNode(root, "Cmpnd");
    const NodeHandle compoundRoot = tree.InsertNode(compound, "Root");
    tree.SetPayload(tree.InsertNode(compoundRoot, "File name"), TextPayload(modelFileName));
    tree.SetPayload(tree.InsertNode(compoundRoot, "Index"), Bytes(8, 0));
    tree.SetPayload(tree.InsertNode(compoundRoot, "Object name"), TextPayload("Root"));

    // "Hardpoints" must be the model file node's first child, so the hardpoint nodes come
    // before "MultiLevel" in insertion order.
    const NodeHandle modelFile = tree.InsertNode(root, modelFileName);
    AddHardpoints(tree, tree.InsertNode(modelFile, "Hardpoints"), meshes);

    const NodeHandle multiLevel = tree.InsertNode(modelFile, "MultiLevel");
    const NodeHandle level = tree.InsertNode(multiLevel, "Level0");
    const NodeHandle part = tree.InsertNode(level, "VMeshPart");
    tree.SetPayload(tree.InsertNode(part, "VMeshRef"),
                    MeshRefRecord(libraryEntryName, ordinaryMeshes));
}

}  // namespace cmp
