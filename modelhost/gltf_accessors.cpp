#include "modelhost/gltf_internal.h"

#include <cstring>
#include <string>

#include "core/little_endian.h"

namespace cmp {

namespace {

Error AccessorError(int index, const std::string& reason) {
    return Error{ErrorCode::ImportFailed, "accessor " + std::to_string(index) + " " + reason};
}

// True when `length` bytes from `offset` fit in `size`, computed without overflow.
bool Fits(std::size_t offset, std::size_t length, std::size_t size) {
    return offset <= size && length <= size - offset;
}

}  // namespace

Result<AccessorBytes> LocateAccessor(const tinygltf::Model& model, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= model.accessors.size()) {
        return AccessorError(index, "is not in the file");
    }
    const tinygltf::Accessor& accessor = model.accessors[static_cast<std::size_t>(index)];
    if (accessor.sparse.isSparse) {
        return AccessorError(index, "is sparse, which this importer does not read");
    }
    if (accessor.bufferView < 0 ||
        static_cast<std::size_t>(accessor.bufferView) >= model.bufferViews.size()) {
        return AccessorError(index, "has no buffer view");
    }
    if (accessor.count == 0) {
        return AccessorError(index, "has no elements");
    }
    const int componentSize =
        tinygltf::GetComponentSizeInBytes(static_cast<std::uint32_t>(accessor.componentType));
    const int components =
        tinygltf::GetNumComponentsInType(static_cast<std::uint32_t>(accessor.type));
    if (componentSize <= 0 || components <= 0 ||
        accessor.componentType == TINYGLTF_COMPONENT_TYPE_INT ||
        accessor.componentType == TINYGLTF_COMPONENT_TYPE_DOUBLE) {
        return AccessorError(index, "has an unknown component type or type");
    }
    const tinygltf::BufferView& view =
        model.bufferViews[static_cast<std::size_t>(accessor.bufferView)];
    if (view.buffer < 0 || static_cast<std::size_t>(view.buffer) >= model.buffers.size()) {
        return AccessorError(index, "lies in a buffer the file does not have");
    }
    const std::vector<unsigned char>& buffer =
        model.buffers[static_cast<std::size_t>(view.buffer)].data;
    if (!Fits(view.byteOffset, view.byteLength, buffer.size())) {
        return AccessorError(index, "lies in a buffer view that reaches past its buffer");
    }
    AccessorBytes located;
    located.elementSize =
        static_cast<std::size_t>(componentSize) * static_cast<std::size_t>(components);
    located.stride = view.byteStride != 0 ? view.byteStride : located.elementSize;
    located.components = components;
    located.componentType = accessor.componentType;
    if (located.stride < located.elementSize) {
        return AccessorError(index, "has elements wider than their stride");
    }
    // The last element ends within the view: (count - 1) * stride + elementSize bytes.
    const std::size_t available = view.byteLength;
    if (!Fits(accessor.byteOffset, located.elementSize, available) ||
        (accessor.count - 1) >
            (available - accessor.byteOffset - located.elementSize) / located.stride) {
        return AccessorError(index, "reaches past its buffer view");
    }
    located.first = buffer.data() + view.byteOffset + accessor.byteOffset;
    located.count = accessor.count;
    return located;
}

Result<std::vector<std::array<float, 3>>> ReadAsFloatTriples(const AccessorBytes& accessor,
                                                             int index) {
    constexpr std::size_t TripleSize = 12;
    if (accessor.elementSize > TripleSize) {
        return AccessorError(index, "has elements of " + std::to_string(accessor.elementSize) +
                                        " bytes, more than three floats");
    }
    std::vector<std::array<float, 3>> triples(accessor.count);
    for (std::size_t i = 0; i < accessor.count; ++i) {
        std::uint8_t element[TripleSize] = {};
        std::memcpy(element, accessor.first + i * accessor.stride, accessor.elementSize);
        triples[i] = {LoadF32(element), LoadF32(element + 4), LoadF32(element + 8)};
    }
    return triples;
}

Result<std::vector<std::uint32_t>> ReadIndices(const AccessorBytes& accessor, int index) {
    if (accessor.components != 1 ||
        (accessor.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE &&
         accessor.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
         accessor.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT)) {
        return AccessorError(index, "holds no indices (unsigned scalars)");
    }
    std::vector<std::uint32_t> indices(accessor.count);
    for (std::size_t i = 0; i < accessor.count; ++i) {
        const std::uint8_t* at = accessor.first + i * accessor.stride;
        switch (accessor.elementSize) {
            case 1:
                indices[i] = at[0];
                break;
            case 2:
                indices[i] = LoadU16(at);
                break;
            default:
                indices[i] = LoadU32(at);
                break;
        }
    }
    return indices;
}

}  // namespace cmp
