// The C builder API. Nothing may escape across the C boundary, so allocation failures
// are caught here and reported as a null handle or -1.
#include <algorithm>
#include <limits>
#include <new>

#include "standin/model_store.h"
#include "standin/ztModelBuilder.h"

namespace {

std::string NameOrEmpty(const char* name) {
    return name != nullptr ? std::string(name) : std::string();
}

// The functions report 32-bit counts, so a container never grows past what they can say.
template <class Container>
bool HasRoom(const Container& elements) {
    return elements.size() < static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
}

}  // namespace

extern "C" {

ztModel ztBuild_CreateModel(void) {
    ztModel model = new (std::nothrow) ztModelObject;
    if (model != nullptr && !standin::NoteCreated(model)) {
        delete model;
        return nullptr;
    }
    return model;
}

int32_t ztBuild_AddMaterial(ztModel model, const char* name) {
    if (model == nullptr || !HasRoom(model->materials)) {
        return -1;
    }
    try {
        auto material = std::make_unique<ztMaterialObject>();
        material->name = NameOrEmpty(name);
        model->materials.push_back(std::move(material));
        return standin::CountOf(model->materials) - 1;
    } catch (...) {
        return -1;
    }
}

ztMesh ztBuild_AddMesh(ztModel model, const char* name, int32_t materialIndex) {
    if (model == nullptr || !HasRoom(model->meshes)) {
        return nullptr;
    }
    try {
        auto mesh = std::make_unique<ztMeshObject>();
        mesh->name = NameOrEmpty(name);
        mesh->materialIndex = materialIndex;
        model->meshes.push_back(std::move(mesh));
        return model->meshes.back().get();
    } catch (...) {
        return nullptr;
    }
}

void ztBuild_AddVertex(ztMesh mesh, float x, float y, float z, float u, float v) {
    if (mesh == nullptr || !HasRoom(mesh->vertices)) {
        return;
    }
    try {
        mesh->vertices.push_back(ztVertexObject{{x, y, z}, {u, v}});
    } catch (...) {
    }
}

void ztBuild_AddTriangle(ztMesh mesh, uint16_t a, uint16_t b, uint16_t c) {
    if (mesh == nullptr || !HasRoom(mesh->triangles)) {
        return;
    }
    try {
        mesh->triangles.push_back(ztTriangleObject{{a, b, c}});
    } catch (...) {
    }
}

int32_t ztBuild_MoveMeshesFirst(ztModel model, const char* name) {
    if (model == nullptr || name == nullptr) {
        return 0;
    }
    auto named = [name](const std::unique_ptr<ztMeshObject>& mesh) { return mesh->name == name; };
    // Moving the owning pointers leaves every mesh where its handle points.
    const auto firstOther =
        std::stable_partition(model->meshes.begin(), model->meshes.end(), named);
    return static_cast<int32_t>(firstOther - model->meshes.begin());
}

void ztBuild_OverrideMeshCount(ztModel model, int32_t reportedCount) {
    if (model != nullptr) {
        model->reportedMeshCount = reportedCount;
    }
}

void ztBuild_OverrideVertexCount(ztMesh mesh, int32_t reportedCount) {
    if (mesh != nullptr) {
        mesh->reportedVertexCount = reportedCount;
    }
}

void ztBuild_OverrideTriangleCount(ztMesh mesh, int32_t reportedCount) {
    if (mesh != nullptr) {
        mesh->reportedTriangleCount = reportedCount;
    }
}

}  // extern "C"
