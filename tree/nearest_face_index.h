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
// rounding). Four centres, or the boxes of a node's four children, are computed side by
// side; each lane does exactly the operations the scan does for one face.
#pragma once

#include <emmintrin.h>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "tree/nearest_face.h"

namespace cmp {

class NearestFaceIndex {
  public:
    // Below this many searches, scanning every face for each costs less than building
    // any tree (measured over 21,845 faces: a scan took about 0.044 ms; a tree over faces
    // listed in order about 0.05 ms to build and 0.9 us a search).
    static constexpr std::size_t SearchesWorthATree = 4;
    // From this many searches on, the quicker search of a tree over sorted centres
    // repays the sort (measured over the same faces listed in order: building it took
    // about 0.25 ms longer, and each search about 0.35 us less).
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
    static constexpr float Infinity = std::numeric_limits<float>::infinity();
    static constexpr std::uint32_t FacesPerGroup = 4;

    // Up to four centres side by side, their distances computed together. A lane
    // without a face holds NaN, which no comparison takes.
    struct Group {
        float x[FacesPerGroup];
        float y[FacesPerGroup];
        float z[FacesPerGroup];
        std::uint32_t face[FacesPerGroup];  // index in the faces given
    };
    // Bounds of centres: x, y, z and a fourth lane that stays 0. Inside out (holding
    // nothing) until a centre is included.
    struct Box {
        float low[4] = {Infinity, Infinity, Infinity, 0.0f};
        float high[4] = {-Infinity, -Infinity, -Infinity, 0.0f};
        // Takes in the lanes of `lowest` and `highest` that are numbers (lane 3 is 0).
        void Include(__m128 lowest, __m128 highest);
        void Include(const Box& other);
        bool HoldsAny() const { return low[0] <= high[0]; }
        double ExtentSum() const;  // the three sides' lengths added
    };
    // A part of the tree: a leaf of `groups` groups from groups_[index], or (groups 0)
    // the node nodes_[index].
    struct Part {
        std::uint32_t index = 0;
        std::uint32_t groups = 0;
    };
    // An inner node holds its two to four children's boxes side by side, axis by axis, so
    // that their bounds are computed together; a missing child's box holds nothing.
    struct Node {
        float low[3][4];
        float high[3][4];
        Part child[4];
    };
    // A part and the box of its centres, as the build hands them up.
    struct BoxedPart {
        Part part;
        Box box;
    };
    struct Best;

    // Leaves over runs of the faces as listed, paired up to a root; false (and nothing
    // kept) when the listed order scatters the faces or none is finite.
    bool BuildOverListedFaces();
    // The tree over the finite centres sorted along the curve.
    void BuildOverSortedCentres();
    // A leaf of these faces (indices in faces_, at most SortedLeafFaces), appended to
    // groups_.
    BoxedPart AddLeaf(std::span<const std::uint32_t> faces);
    // A parent of two to four parts, appended to nodes_.
    BoxedPart Join(std::span<const BoxedPart> parts);
    // The tree over keys [begin, end) sorted by code, split where the codes do.
    BoxedPart Build(const std::vector<std::uint64_t>& keys, std::uint32_t begin, std::uint32_t end);
    // Offers every face of the leaf.
    void SearchLeaf(Part leaf, const float position[3], Best& best) const;

    const std::vector<CandidateFace>& faces_;
    std::vector<Group> groups_;
    std::vector<Node> nodes_;
    BoxedPart root_;      // no groups and no nodes: nothing to search
    bool scans_ = false;  // every face in order for each search, no tree
};

}  // namespace cmp
