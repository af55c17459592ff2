#include "tree/tree.h"

namespace cmp {

Bytes EncodeMeshReference(const MeshReference& reference) {
    Bytes record(MeshReferenceSize, 0);
    StoreU32(&record[MeshReferenceSizeOffset], reference.recordSize);
    StoreU32(&record[MeshReferenceLibraryIdOffset], reference.libraryId);
    StoreU16(&record[MeshReferenceFirstMeshOffset], reference.firstMesh);
    StoreU16(&record[MeshReferenceMeshCountOffset], reference.meshCount);
    return record;
}

std::optional<MeshReference> DecodeMeshReference(const Bytes& bytes) {
    if (bytes.size() < MeshReferenceSize) {
        return std::nullopt;
    }
    return MeshReference{LoadU32(&bytes[MeshReferenceSizeOffset]),
                         LoadU32(&bytes[MeshReferenceLibraryIdOffset]),
                         LoadU16(&bytes[MeshReferenceFirstMeshOffset]),
                         LoadU16(&bytes[MeshReferenceMeshCountOffset])};
}

}  // namespace cmp
