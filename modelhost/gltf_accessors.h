// Accessor data of a glTF document, read as Assimp 5.2 reads it and checked against the
// bytes really there. Internal to the glTF importer.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/error.h"
#include "modelhost/gltf_document.h"

namespace cmp {

// Where an accessor's elements lie: `count` elements of `elementSize` bytes, `stride`
// bytes apart from `first`, all inside its buffer view and buffer.
struct AccessorBytes {
    const std::uint8_t* first = nullptr;
    std::size_t count = 0;
    std::size_t stride = 0;
    std::size_t elementSize = 0;
    int components = 0;
    int componentType = 0;
};

// Locates accessor `index`. Fails, with a reason naming the accessor, when it is not in
// the file, is sparse or has no buffer view (both unsupported here), has no elements, an
// unknown component type or type, a stride below its element size, or when its elements,
// its view or its buffer reach past what the file holds. Counts can never exceed the
// buffer's real size, so nothing allocated from them is larger than the file.
Result<AccessorBytes> LocateAccessor(const tinygltf::Model& model, int index);

// Each element as Assimp extracts it into a three-float vector: its bytes copied over
// zeros, whatever the component type (a float VEC2 gives x, y, 0). Elements of more than
// 12 bytes are refused, as by Assimp.
Result<std::vector<std::array<float, 3>>> ReadAsFloatTriples(const AccessorBytes& accessor,
                                                             int index);

// The indices of an index accessor: SCALAR of unsigned 8, 16 or 32 bits; others refused.
Result<std::vector<std::uint32_t>> ReadIndices(const AccessorBytes& accessor, int index);

}  // namespace cmp
