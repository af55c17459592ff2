// The nearest-face search behind hardpoint orientations, in about logarithmic time per
// hardpoint: a tree of boxes over the candidate faces' centres, built once per export,
// its leaves either runs of the faces as the model lists them (when those runs keep
// neighbours together and few searches follow) or the centres sorted along a
// space-filling curve.
//
// It finds exactly the face that scanning every candidate in order would find: the
// distance of each face is computed with the very same arithmetic (differences in float,
// squares summed and rooted in double), a face must be strictly nearer than 999999, and
// of faces at the same distance the earlier one wins. A part of the tree is skipped only
// when a lower bound of that same computed distance, valid for every centre inside its
// box, shows that no face in it can win (see the .cpp for why the bound holds under
// rounding).
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "tree/nearest_face.h"

namespace cmp {

class NearestFaceIndex {
  public:
    // Below this many searches, scanning every face for each costs less than building
    // any tree (measured over 21,845 faces: a scan took about 0.044 ms; a tree over faces
    // listed in order about 0.1 ms to build and 2.3 us a search).
    static constexpr std::size_t SearchesWorthATree = 4;
    // From this many searches on, the quicker search of a tree over sorted centres
    // repays the sort (measured over the same faces listed in order: building it took
    // about 0.55 ms longer, and each search about 0.95 us less).
    static constexpr std::size_t SearchesWorthSorting = 600;

    // Indexes `faces`, which must outlive the index and stay unchanged, for about
    // `searches` searches: a few are scans, more get a tree that is quicker to build,
    // many one that is quicker to search. All find the same faces.
    explicit NearestFaceIndex(const std::vector<CandidateFace>& faces,
                              std::size_t searches = std::numeric_limits<std::size_t>::max());

    // The face nearest to `position`, or null when none is nearer than 999999.
    //
    // `hint`, a face of `faces` (or null), is weighed first: it changes only how much
    // of the tree is searched, never the answer. Hardpoints placed near one another
    // pass the previous one's face.
    const CandidateFace* FindNearest(const Vector3& position,
                                     const CandidateFace* hint = nullptr) const;

  private:
    struct Entry {
        float centre[3];
        std::uint32_t face;  // index in the faces given
    };
    // Bounds of centres; inside out (holding nothing) until a centre is included.
    struct Box {
        float low[3] = {Infinity, Infinity, Infinity};
        float high[3] = {-Infinity, -Infinity, -Infinity};
        void Include(const float point[3]);
        void Include(const Box& other) {
            Include(other.low);
            Include(other.high);
        }
        bool HoldsAny() const { return low[0] <= high[0]; }
        double ExtentSum() const;  // the three sides' lengths added
    };
    struct Node {
        Box box;
        std::uint32_t firstEntry;  // range in entries_ (in faces_ when Listed) for a leaf
        std::uint32_t entryCount;  // 0 for an inner node
        std::uint32_t left;        // children, for an inner node
        std::uint32_t right;
    };
    struct Best;

    static constexpr float Infinity = std::numeric_limits<float>::infinity();
    // How the faces are searched.
    enum class Layout {
        Scan,    // every face, in order
        Listed,  // a tree whose leaves are runs of faces_ as listed
        Sorted,  // a tree whose leaves are runs of entries_, sorted along the curve
    };

    // Leaves over runs of the faces as listed, paired up to a root; false (and nodes
    // to be dropped) when the listed order scatters the faces or none is finite.
    bool BuildOverListedFaces();
    // A parent of two nodes, appended; its index.
    std::uint32_t Join(std::uint32_t left, std::uint32_t right);
    // The tree over the centres sorted along the curve, split where the codes do.
    std::uint32_t Build(const std::vector<std::uint64_t>& keys, std::uint32_t begin,
                        std::uint32_t end);
    void Search(std::uint32_t node, const Vector3& position, Best& best) const;

    const std::vector<CandidateFace>& faces_;
    std::vector<Entry> entries_;  // the finite centres, grouped by leaf
    std::vector<Node> nodes_;
    std::uint32_t root_ = 0;
    Layout layout_ = Layout::Sorted;
};

}  // namespace cmp
