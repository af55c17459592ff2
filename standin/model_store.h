// The in-memory model behind the stand-in model library, private to this folder. The
// library's face is the host's host/ztModelLib.h (the fifteen model functions, served by
// model_lib.cpp) and standin/ztModelBuilder.h (the builder, in model_builder.cpp, and the
// counters tests read, in counters.cpp); all three .cpp share this store.
//
// Handles given to callers are plain pointers to these objects; vertices and triangles
// live in deques, so that adding one never moves one that a caller already holds a
// handle to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/ztModelLib.h"

struct ztVertexObject {
    float position[3];
    float texCoords[2];
};

struct ztTriangleObject {
    std::uint16_t corners[3];
};

struct ztMaterialObject {
    std::string name;
};

struct ztMeshObject {
    std::string name;
    std::int32_t materialIndex = 0;
    std::deque<ztVertexObject> vertices;
    std::deque<ztTriangleObject> triangles;
    std::optional<std::int32_t> reportedVertexCount;
    std::optional<std::int32_t> reportedTriangleCount;
};

struct ztModelObject {
    std::vector<std::unique_ptr<ztMaterialObject>> materials;
    std::vector<std::unique_ptr<ztMeshObject>> meshes;
    std::optional<std::int32_t> reportedMeshCount;
};

namespace standin {

// Counts a call of a model function that received a null handle.
void NoteNullHandle();
// Notes a model made by ztBuild_CreateModel as live; false, noting nothing, when memory
// runs out.
bool NoteCreated(ztModel model);
// Notes `model` freed by ztModel_Destroy: no longer live, and counted.
void NoteDestroyed(ztModel model);

// Element `index` of `elements`, or null when the index lies outside them.
template <class Container>
auto ElementAt(Container& elements, std::int32_t index) -> decltype(&elements[0]) {
    if (index < 0 || static_cast<std::uint64_t>(index) >= elements.size()) {
        return nullptr;
    }
    return &elements[static_cast<std::size_t>(index)];
}

// A size as the 32-bit count the functions report (sizes never pass INT32_MAX here).
template <class Container>
std::int32_t CountOf(const Container& elements) {
    return static_cast<std::int32_t>(elements.size());
}

}  // namespace standin
