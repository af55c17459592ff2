#include "tools/cmpinfo/read/read.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

namespace cmp {

namespace {

// Every field of the mesh reference lies in its first 20 bytes, so a record cut short
// after them still shows what it says.
constexpr std::size_t MeshReferenceFieldsEnd = MeshReferenceMeshCountOffset + 2;

LeafDecoding UnknownWithProblem(std::span<const std::uint8_t> bytes, std::string problem) {
    LeafDecoding result = DecodeUnknown(bytes);
    result.problems.Add(std::move(problem));
    return result;
}

std::string WrongMeshReferenceSize(std::size_t size) {
    return "the mesh reference is " + Plural(size, "byte", "bytes") + ", expected " +
           std::to_string(MeshReferenceSize);
}

}  // namespace

LeafDecoding DecodeMeshReferenceLeaf(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < MeshReferenceFieldsEnd) {
        return UnknownWithProblem(bytes, WrongMeshReferenceSize(bytes.size()));
    }
    Bytes record(bytes.begin(), bytes.end());
    record.resize(std::max(record.size(), MeshReferenceSize), 0);
    const MeshReference reference = *DecodeMeshReference(record);
    LeafDecoding result{reference, {}};
    if (bytes.size() != MeshReferenceSize) {
        result.problems.Add(WrongMeshReferenceSize(bytes.size()));
    }
    if (reference.recordSize != bytes.size()) {
        result.problems.Add("the record says it is " + std::to_string(reference.recordSize) +
                            " bytes long, but it is " + std::to_string(bytes.size()));
    }
    return result;
}

LeafDecoding DecodeText(std::span<const std::uint8_t> bytes) {
    const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    LeafDecoding result{TextLeaf{std::string(bytes.begin(), end)}, {}};
    if (end == bytes.end()) {
        result.problems.Add("the text does not end in a 0 byte");
    } else if (end + 1 != bytes.end()) {
        result.problems.Add(
            "the text has " +
            Plural(static_cast<std::uint64_t>(bytes.end() - end - 1), "byte", "bytes") +
            " after its 0 byte");
    }
    return result;
}

LeafDecoding DecodeReals(std::span<const std::uint8_t> bytes, std::size_t rows,
                         std::size_t perRow) {
    const std::size_t count = rows * perRow;
    if (bytes.size() != 4 * count) {
        return UnknownWithProblem(bytes, Plural(bytes.size(), "byte", "bytes") + ", expected " +
                                             std::to_string(4 * count) + " (" +
                                             std::to_string(count) + " reals)");
    }
    RealsLeaf reals;
    bool finite = true;
    for (std::size_t row = 0; row < rows; ++row) {
        std::vector<float>& values = reals.rows.emplace_back();
        for (std::size_t column = 0; column < perRow; ++column) {
            values.push_back(LoadF32(bytes.data() + 4 * (row * perRow + column)));
            finite = finite && std::isfinite(values.back());
        }
    }
    LeafDecoding result{std::move(reals), {}};
    if (!finite) {
        result.problems.Add("holds a value that is not a finite number");
    }
    return result;
}

LeafDecoding DecodeLimit(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != 4 && bytes.size() != 8) {
        return UnknownWithProblem(bytes, Plural(bytes.size(), "byte", "bytes") +
                                             ", expected one real (4 bytes, or 8 with padding)");
    }
    LeafDecoding result = DecodeReals(bytes.first(4), 1, 1);
    if (bytes.size() == 8 && LoadU32(bytes.data() + 4) != 0) {
        result.problems.Add("the padding after the real is not zero");
    }
    return result;
}

LeafDecoding DecodeUnknown(std::span<const std::uint8_t> bytes) {
    const std::size_t shown = std::min(bytes.size(), UnknownLeafShownBytes);
    return {UnknownLeaf{bytes.size(), Bytes(bytes.begin(), bytes.begin() + shown)}, {}};
}

LeafDecoding DecodeLeaf(std::string_view name, std::span<const std::uint8_t> bytes) {
    if (name == "VMeshData") {
        return DecodeMeshDataStream(bytes);
    }
    if (name == "VMeshRef") {
        return DecodeMeshReferenceLeaf(bytes);
    }
    if (name == "File name" || name == "Object name") {
        return DecodeText(bytes);
    }
    if (name == "Position" || name == "Axis") {
        return DecodeReals(bytes, 1, 3);
    }
    if (name == "Orientation") {
        return DecodeReals(bytes, 3, 3);
    }
    if (name == "Max" || name == "Min") {
        return DecodeLimit(bytes);
    }
    return DecodeUnknown(bytes);
}

}  // namespace cmp
