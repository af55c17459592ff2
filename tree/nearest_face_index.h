// The nearest-face search behind hardpoint orientations, in about logarithmic time per
// hardpoint: a tree of boxes over the candidate faces' centres, each node halving its
// centres at the median along the longest side of their box, built once per export.
//
// It finds exactly the face that scanning every candidate in order would find: each face's
// distance is computed with the scan's own arithmetic, a face must be strictly nearer
// than 999999, of faces at the same distance the earlier one wins, and a box is passed by
// only when no centre inside it can come as near as the best face found so far (see the
// .cpp for why).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "tree/nearest_face.h"

namespace cmp {

class NearestFaceIndex {
  public:
    // Below this many searches, scanning every face for each costs less than building
    // the tree.
    static constexpr std::size_t SearchesWorthATree = 4;

    // Indexes `faces`, which must outlive the index and stay unchanged, for about
    // `searches` searches: fewer than SearchesWorthATree only scan. Both find the same
    // faces.
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
    // Bounds of centres: a box of one point grows to take in others.
    struct Box {
        Vector3 low;
        Vector3 high;
        void Include(const Box& other) {
            low = {std::min(low.x, other.low.x), std::min(low.y, other.low.y),
                   std::min(low.z, other.low.z)};
            high = {std::max(high.x, other.high.x), std::max(high.y, other.high.y),
                    std::max(high.z, other.high.z)};
        }
    };
    // The centres centres_[begin, end) and their box; an inner node's two halves are
    // nodes_[firstChild] and nodes_[firstChild + 1], a leaf has firstChild 0.
    struct Node {
        Box box;
        std::uint32_t begin = 0;
        std::uint32_t end = 0;
        std::uint32_t firstChild = 0;
    };
    // A finite centre and the index of its face in the faces given.
    struct Centre {
        Vector3 at;
        std::uint32_t face;
    };
    struct Best;

    // Makes nodes_[node] over centres_[begin, end), and its subtree.
    void Build(std::uint32_t node, std::uint32_t begin, std::uint32_t end);
    // The box of centres_[begin], centres_[begin + step], ... before `end`.
    Box BoxOf(std::uint32_t begin, std::uint32_t end, std::uint32_t step) const;
    // The least distance, as the scan computes distances, from `p` to any centre in
    // the box of nodes_[node].
    double Bound(const Vector3& p, std::uint32_t node) const;
    void Search(std::uint32_t node, const Vector3& position, Best& best) const;

    const std::vector<CandidateFace>& faces_;
    std::vector<Centre> centres_;  // leaf by leaf
    std::vector<Node> nodes_;      // the root first; empty when no centre is finite
    bool scans_ = false;           // every face in order for each search, no tree
};

}  // namespace cmp
