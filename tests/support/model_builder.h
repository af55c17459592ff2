// For tests and benchmarks, C++ convenience over the C builder API: builds one stand-in
// model and owns it until Release(). Header-only, so users link nothing but ztModelLib.
#pragma once

#include <cstdint>
#include <utility>

#include "standin/ztModelBuilder.h"

namespace standin {

class ModelBuilder {
  public:
    ModelBuilder() : model_(ztBuild_CreateModel()) {}
    ~ModelBuilder() { Destroy(); }

    ModelBuilder(const ModelBuilder&) = delete;
    ModelBuilder& operator=(const ModelBuilder&) = delete;
    ModelBuilder(ModelBuilder&& other) noexcept : model_(std::exchange(other.model_, nullptr)) {}
    ModelBuilder& operator=(ModelBuilder&& other) noexcept {
        if (this != &other) {
            Destroy();
            model_ = std::exchange(other.model_, nullptr);
        }
        return *this;
    }

    // The model, still owned by this builder; null after Release().
    ztModel model() const { return model_; }

    // Hands the model over; the caller frees it with ztModel_Destroy.
    ztModel Release() { return std::exchange(model_, nullptr); }

    // Index of the new material, -1 when there is no model.
    std::int32_t AddMaterial(const char* name) { return ztBuild_AddMaterial(model_, name); }

    // The new mesh; materialIndex is stored as given (-1 or any unknown index: none).
    ztMesh AddMesh(const char* name, std::int32_t materialIndex = -1) {
        return ztBuild_AddMesh(model_, name, materialIndex);
    }

    static void AddVertex(ztMesh mesh, float x, float y, float z, float u = 0.0f, float v = 0.0f) {
        ztBuild_AddVertex(mesh, x, y, z, u, v);
    }

    static void AddTriangle(ztMesh mesh, std::uint16_t a, std::uint16_t b, std::uint16_t c) {
        ztBuild_AddTriangle(mesh, a, b, c);
    }

  private:
    // Not through the null check of the library: that would count as a plug-in fault.
    void Destroy() {
        if (model_ != nullptr) {
            ztModel_Destroy(model_);
        }
    }

    ztModel model_;
};

// A mesh of `count` vertices along x, and one triangle over its first three when it has
// them: the smallest mesh of a given size, for tests of what a plan makes of meshes.
inline ztMesh AddMeshOf(ModelBuilder& model, const char* name, int count,
                        std::int32_t material = -1) {
    ztMesh mesh = model.AddMesh(name, material);
    for (int j = 0; j < count; ++j) {
        ModelBuilder::AddVertex(mesh, static_cast<float>(j), 0.0f, 0.0f);
    }
    if (count >= 3) {
        ModelBuilder::AddTriangle(mesh, 0, 1, 2);
    }
    return mesh;
}

}  // namespace standin
