// The fifteen model functions over the in-memory model. A plug-in may be buggy: every
// function checks its handle, its index and its destination, and never reads or writes
// outside the stored data or the caller's buffer.
#include <algorithm>
#include <cstring>

#include "host/ztModelLib.h"
#include "standin/model_store.h"

namespace {

// False (and counted) for a null handle, so each function can return at once.
template <class Handle>
bool Usable(Handle handle) {
    if (handle == nullptr) {
        standin::NoteNullHandle();
        return false;
    }
    return true;
}

// At most `capacity` bytes; the terminating NUL only when it fits.
void CopyName(const std::string& name, char* destination, int32_t capacity) {
    if (destination == nullptr || capacity <= 0) {
        return;
    }
    const std::size_t room = static_cast<std::size_t>(capacity);
    const std::size_t length = std::min(name.size(), room);
    std::memcpy(destination, name.data(), length);
    if (length < room) {
        destination[length] = '\0';
    }
}

}  // namespace

extern "C" {

int32_t ztModel_GetMaterialCount(ztModel model) {
    return Usable(model) ? standin::CountOf(model->materials) : 0;
}

int32_t ztModel_GetMeshCount(ztModel model) {
    if (!Usable(model)) {
        return 0;
    }
    return model->reportedMeshCount.value_or(standin::CountOf(model->meshes));
}

ztMesh ztModel_GetMeshAt(ztModel model, int32_t meshIndex) {
    if (!Usable(model)) {
        return nullptr;
    }
    const auto* slot = standin::ElementAt(model->meshes, meshIndex);
    return slot != nullptr ? slot->get() : nullptr;
}

ztMaterial ztModel_GetMaterialAt(ztModel model, int32_t materialIndex) {
    if (!Usable(model)) {
        return nullptr;
    }
    const auto* slot = standin::ElementAt(model->materials, materialIndex);
    return slot != nullptr ? slot->get() : nullptr;
}

void ztModel_Destroy(ztModel model) {
    if (!Usable(model)) {
        return;
    }
    standin::NoteDestroyed(model);
    delete model;
}

int32_t ztMesh_GetMaterialIndex(ztMesh mesh) {
    return Usable(mesh) ? mesh->materialIndex : 0;
}

void ztMesh_GetName(ztMesh mesh, char* destination, int32_t capacity) {
    if (Usable(mesh)) {
        CopyName(mesh->name, destination, capacity);
    }
}

int32_t ztMesh_GetVertexCount(ztMesh mesh) {
    if (!Usable(mesh)) {
        return 0;
    }
    return mesh->reportedVertexCount.value_or(standin::CountOf(mesh->vertices));
}

ztVertex ztMesh_GetVertexAt(ztMesh mesh, int32_t vertexIndex) {
    return Usable(mesh) ? standin::ElementAt(mesh->vertices, vertexIndex) : nullptr;
}

int32_t ztMesh_GetTriangleCount(ztMesh mesh) {
    if (!Usable(mesh)) {
        return 0;
    }
    return mesh->reportedTriangleCount.value_or(standin::CountOf(mesh->triangles));
}

ztTriangle ztMesh_GetTriangleAt(ztMesh mesh, int32_t triangleIndex) {
    return Usable(mesh) ? standin::ElementAt(mesh->triangles, triangleIndex) : nullptr;
}

void ztMaterial_GetName(ztMaterial material, char* destination, int32_t capacity) {
    if (Usable(material)) {
        CopyName(material->name, destination, capacity);
    }
}

void ztVertex_GetVertex(ztVertex vertex, float* xyz) {
    if (Usable(vertex) && xyz != nullptr) {
        std::memcpy(xyz, vertex->position, sizeof vertex->position);
    }
}

void ztVertex_GetTexCoords(ztVertex vertex, float* uv) {
    if (Usable(vertex) && uv != nullptr) {
        std::memcpy(uv, vertex->texCoords, sizeof vertex->texCoords);
    }
}

void ztTriangle_GetVertexIndices(ztTriangle triangle, uint16_t* corners) {
    if (Usable(triangle) && corners != nullptr) {
        std::memcpy(corners, triangle->corners, sizeof triangle->corners);
    }
}

}  // extern "C"
