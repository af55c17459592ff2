// What cmpinfo's decoders find in a leaf: plain data, with no text for people or for
// programs in it. The renderers (render_text.h, render_json.h) turn it into either.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "core/little_endian.h"
#include "mesh/mesh.h"
#include "tree/tree.h"

namespace cmp {

// Any leaf that no decoder knows, or whose size its decoder cannot read: its size and
// its first bytes (at most UnknownLeafShownBytes).
inline constexpr std::size_t UnknownLeafShownBytes = 16;
struct UnknownLeaf {
    std::size_t size = 0;
    Bytes firstBytes;
};

// "VMeshData": the header, the header of every mesh that lies whole inside the stream
// (fewer than the header counts when the stream is cut short), and the length in bytes
// that the header's counts call for.
struct MeshDataStreamLeaf {
    MeshStreamHeader header;
    std::uint64_t expectedLength = 0;
    std::vector<MeshStreamMesh> meshes;
};

// "File name", "Object name": the bytes before the first 0 byte, as the file has them.
struct TextLeaf {
    std::string text;
};

// "Position", "Axis", "Orientation", "Max", "Min": reals in rows, every row as long.
struct RealsLeaf {
    std::vector<std::vector<float>> rows;
};

// "VMeshRef" decodes to the shared MeshReference record.
using DecodedLeaf =
    std::variant<UnknownLeaf, MeshDataStreamLeaf, MeshReference, TextLeaf, RealsLeaf>;

// The problems found in one leaf: all of them counted, the first ProblemsListedPerLeaf
// kept as text. A hostile leaf can hold a problem in every few bytes; keeping them all
// would make the report many times the file's size.
inline constexpr std::size_t ProblemsListedPerLeaf = 100;
class ProblemList {
  public:
    void Add(std::string problem) {
        if (listed_.size() < ProblemsListedPerLeaf) {
            listed_.push_back(std::move(problem));
        }
        ++count_;
    }
    // The first problems found, in the order found.
    const std::vector<std::string>& GetListed() const { return listed_; }
    // Every problem found, the listed ones and the rest.
    std::size_t GetCount() const { return count_; }

  private:
    std::vector<std::string> listed_;
    std::size_t count_ = 0;
};

// A decoder's answer: the content, and the problems found (none when the leaf holds together).
struct LeafDecoding {
    DecodedLeaf content;
    ProblemList problems;
};

}  // namespace cmp
