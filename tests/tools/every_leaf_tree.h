// A tree with one leaf of every kind cmpinfo decodes, sound and broken, under awkward
// names, with reals that print in every form. Its outputs are kept in tests/tools/golden.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <memory>
#include <string>
#include <utility>

#include "core/little_endian.h"
#include "tree/tree.h"

namespace cmp {

inline constexpr const char* EveryLeafFileName = "every_leaf.cmp";

inline Bytes Reals(std::initializer_list<float> values) {
    Bytes bytes;
    for (float value : values) {
        AppendF32(bytes, value);
    }
    return bytes;
}

// One mesh with material 0xEBB055C2, 4 vertices and 2 triangles: 168 bytes.
inline Bytes SoundMeshDataStream() {
    Bytes stream = {0x01, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x01, 0x00,
                    0x06, 0x00, 0x12, 0x01, 0x04, 0x00, 0xC2, 0x55, 0xB0, 0xEB,
                    0x00, 0x00, 0x03, 0x00, 0x06, 0x00, 0xCC, 0x00};
    for (std::uint16_t index : {0, 1, 2, 0, 2, 3}) {
        AppendU16(stream, index);
    }
    stream.resize(stream.size() + 4 * 32, 0);
    return stream;
}

inline NodeTree EveryLeafTree() {
    const float inf = std::numeric_limits<float>::infinity();
    const Bytes record = MeshRefRecord("Ship.lod0.vms", 2);
    NodeTree tree;
    const auto leaf = [&tree](NodeHandle parent, const std::string& name, Bytes bytes) {
        tree.SetPayload(tree.InsertNode(parent, name), std::move(bytes));
    };
    const NodeHandle root = tree.InsertNode(NodeHandle(), "\\");
    leaf(tree.InsertNode(tree.InsertNode(root, "VMeshLibrary"), "Ship.lod0.vms"), "VMeshData",
         SoundMeshDataStream());
    const NodeHandle part = tree.InsertNode(root, "Part\n\xC4\"q\\");
    leaf(part, "VMeshRef", record);
    leaf(part, "VMeshRef", Bytes(record.begin(), record.begin() + 19));
    leaf(part, "Object name", {'H', 'u', 'l', 'l', 0x7F, '\t', 0});
    leaf(part, "File name", {'S', '.', '3', 'd', 'b'});
    leaf(part, "Position", Reals({1, -0.0f, 0.1f}));
    leaf(part, "Orientation",
         Reals({1e-4f, 123456789.0f, 1e10f, std::numeric_limits<float>::quiet_NaN(), inf, -inf,
                3.4028235e38f, 1e-45f, -0.7853982f}));
    leaf(part, "Max", {0xAA, 0x0E, 0x49, 0x3F, 1, 0, 0, 0});
    leaf(part, "Min", Reals({100.0f}));
    leaf(part, "Index", Bytes(20, 0xAB));
    tree.InsertNode(part, "Empty");
    leaf(tree.InsertNode(tree.InsertNode(root, "Deep"), "Deeper"), "Axis", Reals({0, 1}));
    leaf(root, "Tail", {0x01});
    return tree;
}

}  // namespace cmp
