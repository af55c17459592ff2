// The in-memory model behind the stand-in model library. Handles given to callers are
// plain pointers to these objects; vertices and triangles live in StableArrays, so that
// adding one never moves one that a caller already holds a handle to.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/ztModelLib.h"

namespace standin {

// A growing array whose elements never move: block k holds 16 << k elements, so the
// blocks at most double what is stored, and element i is found with a few bit operations
// (the plug-in asks for every vertex and triangle by index, one call each).
template <class T>
class StableArray {
  public:
    std::size_t size() const { return size_; }

    // `index` < size().
    T& operator[](std::size_t index) { return *Locate(index); }
    const T& operator[](std::size_t index) const { return *Locate(index); }

    // Throws std::bad_alloc when a new block cannot be had; nothing changes then.
    void push_back(const T& value) {
        const Place place = PlaceOf(size_);
        if (!blocks_[place.block]) {
            blocks_[place.block] = std::make_unique_for_overwrite<T[]>(FirstBlock << place.block);
        }
        blocks_[place.block][place.offset] = value;
        ++size_;
    }

  private:
    static constexpr unsigned FirstBlockBits = 4;
    static constexpr std::size_t FirstBlock = std::size_t{1} << FirstBlockBits;
    // Enough blocks for more elements than a 32-bit count can report.
    static constexpr std::size_t BlockCount = 32;

    struct Place {
        std::size_t block;
        std::size_t offset;
    };
    // Elements before block k: FirstBlock * (2^k - 1); so index + FirstBlock has its
    // highest bit at k + FirstBlockBits, and the bits below it are the offset.
    static Place PlaceOf(std::size_t index) {
        const std::size_t shifted = index + FirstBlock;
        const auto top = static_cast<std::size_t>(std::bit_width(shifted)) - 1;
        return {top - FirstBlockBits, shifted - (std::size_t{1} << top)};
    }
    T* Locate(std::size_t index) const {
        const Place place = PlaceOf(index);
        return &blocks_[place.block][place.offset];
    }

    std::array<std::unique_ptr<T[]>, BlockCount> blocks_;
    std::size_t size_ = 0;
};

}  // namespace standin

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
    standin::StableArray<ztVertexObject> vertices;
    standin::StableArray<ztTriangleObject> triangles;
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
// Counts a model freed by ztModel_Destroy.
void NoteDestroyed();

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
