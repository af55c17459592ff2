#include "tree/nearest_face_index.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace cmp {

namespace {

// Faces whose centre is this far away or farther are never nearest.
constexpr float NoFaceDistance = 999999.0f;
constexpr std::uint32_t FacesPerLeaf = 12;
constexpr std::uint32_t NoFace = std::numeric_limits<std::uint32_t>::max();

bool IsFinite(const Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// A lower bound of SquaredDistance(position, c) for every centre c inside the box.
//
// Why it holds: rounding to nearest is monotonic, so for a centre coordinate c at or
// beyond the box's near side b (|p - c| >= |p - b| in exact terms), the float difference
// the scan computes satisfies |fl(p - c)| >= |fl(p - b)|, which is exactly the float
// difference this function computes. Each square and the two double additions are
// monotonic in the same way, and so is the square root. The bound is therefore at most
// the distance the scan computes for any face in the box, rounding included.
double BoxLowerBoundSquared(const Vector3& position, const float low[3], const float high[3]) {
    const float p[3] = {position.x, position.y, position.z};
    float gap[3];
    for (int axis = 0; axis < 3; ++axis) {
        gap[axis] = p[axis] < low[axis]    ? p[axis] - low[axis]
                    : p[axis] > high[axis] ? p[axis] - high[axis]
                                           : 0.0f;
    }
    return double{gap[0]} * gap[0] + double{gap[1]} * gap[1] + double{gap[2]} * gap[2];
}

// The square of the distance by which faces are compared, before its root (which the
// scan takes in double): differences in float, squares summed in double in x, y, z
// order.
double SquaredDistance(const Vector3& position, const float centre[3]) {
    const float dx = position.x - centre[0];
    const float dy = position.y - centre[1];
    const float dz = position.z - centre[2];
    return double{dx} * dx + double{dy} * dy + double{dz} * dz;
}

}  // namespace

// The best face so far, ordered as the scan orders them: by distance, then by index.
//
// Distances are compared through their squares where that decides: the root is
// monotonic, so a smaller square never has a larger root and a larger square never a
// smaller one. Only where two roots might be equal (a tie, which the earlier face wins)
// is the root itself taken, exactly as the scan takes it.
struct NearestFaceIndex::Best {
    double distance = NoFaceDistance;
    double squared = double{NoFaceDistance} * NoFaceDistance;  // exact: 999999² < 2^53
    std::uint32_t face = NoFace;  // NoFace: only a strictly nearer face may win

    // Offers a face at this squared distance (as SquaredDistance computes it).
    void Offer(double candidateSquared, std::uint32_t index) {
        const bool mayTie = face != NoFace && index < face;
        if (!(candidateSquared < squared) && !(candidateSquared == squared && mayTie) &&
            !(candidateSquared > squared && mayTie)) {
            return;  // its root is at least the best one's, and it could not win a tie
        }
        const double candidate = std::sqrt(candidateSquared);
        if (candidate < distance || (mayTie && candidate == distance)) {
            distance = candidate;
            squared = candidateSquared;
            face = index;
        }
    }
    // Whether some face of a box whose faces are all at least sqrt(boundSquared) away,
    // the earliest of them being `earliest`, could still beat this one.
    bool MayBeBeatenWithin(double boundSquared, std::uint32_t earliest) const {
        if (boundSquared < squared) {
            return true;
        }
        // The bound's root is at least the best distance: only a tie could win.
        const bool mayTie = face != NoFace && earliest < face;
        return mayTie && std::sqrt(boundSquared) == distance;
    }
};

NearestFaceIndex::NearestFaceIndex(const std::vector<CandidateFace>& faces) : faces_(faces) {
    // A centre that is not finite is never nearer than anything: it is left out.
    entries_.reserve(faces.size());
    for (std::uint32_t i = 0; i < faces.size(); ++i) {
        const Vector3& c = faces[i].centre;
        if (IsFinite(c)) {
            entries_.push_back({{c.x, c.y, c.z}, i});
        }
    }
    if (!entries_.empty()) {
        float low[3] = {entries_[0].centre[0], entries_[0].centre[1], entries_[0].centre[2]};
        float high[3] = {low[0], low[1], low[2]};
        for (const Entry& entry : entries_) {
            for (int axis = 0; axis < 3; ++axis) {
                low[axis] = std::min(low[axis], entry.centre[axis]);
                high[axis] = std::max(high[axis], entry.centre[axis]);
            }
        }
        nodes_.reserve(4 * (entries_.size() / FacesPerLeaf + 1));
        Build(0, static_cast<std::uint32_t>(entries_.size()), low, high);
    }
}

std::uint32_t NearestFaceIndex::Build(std::uint32_t begin, std::uint32_t end, const float low[3],
                                      const float high[3]) {
    const auto index = static_cast<std::uint32_t>(nodes_.size());
    nodes_.push_back(Node{});
    if (end - begin <= FacesPerLeaf) {
        Node& leaf = nodes_[index];
        for (int axis = 0; axis < 3; ++axis) {
            leaf.low[axis] = std::numeric_limits<float>::infinity();
            leaf.high[axis] = -std::numeric_limits<float>::infinity();
        }
        leaf.earliestFace = NoFace;
        for (std::uint32_t i = begin; i < end; ++i) {
            const Entry& entry = entries_[i];
            for (int axis = 0; axis < 3; ++axis) {
                leaf.low[axis] = std::min(leaf.low[axis], entry.centre[axis]);
                leaf.high[axis] = std::max(leaf.high[axis], entry.centre[axis]);
            }
            leaf.earliestFace = std::min(leaf.earliestFace, entry.face);
        }
        leaf.firstEntry = begin;
        leaf.entryCount = end - begin;
        return index;
    }
    // Split at the median along the widest side of the box the range lies in (the
    // parent's box cut at its median, wider than the range may be: it only steers the
    // split). The node's own box, the one searches prune by, is its children's union.
    int axis = 0;
    for (int a = 1; a < 3; ++a) {
        if (high[a] - low[a] > high[axis] - low[axis]) {
            axis = a;
        }
    }
    const std::uint32_t middle = begin + (end - begin) / 2;
    std::nth_element(
        entries_.begin() + begin, entries_.begin() + middle, entries_.begin() + end,
        [axis](const Entry& a, const Entry& b) { return a.centre[axis] < b.centre[axis]; });
    const float cut = entries_[middle].centre[axis];
    float leftHigh[3] = {high[0], high[1], high[2]};
    float rightLow[3] = {low[0], low[1], low[2]};
    leftHigh[axis] = cut;
    rightLow[axis] = cut;
    const std::uint32_t left = Build(begin, middle, low, leftHigh);
    const std::uint32_t right = Build(middle, end, rightLow, high);
    Node& node = nodes_[index];
    node.left = left;
    node.right = right;
    for (int a = 0; a < 3; ++a) {
        node.low[a] = std::min(nodes_[left].low[a], nodes_[right].low[a]);
        node.high[a] = std::max(nodes_[left].high[a], nodes_[right].high[a]);
    }
    node.earliestFace = std::min(nodes_[left].earliestFace, nodes_[right].earliestFace);
    return index;
}

void NearestFaceIndex::Search(std::uint32_t index, const Vector3& position, Best& best) const {
    const Node& node = nodes_[index];
    if (node.entryCount > 0) {
        for (std::uint32_t i = node.firstEntry; i < node.firstEntry + node.entryCount; ++i) {
            const Entry& entry = entries_[i];
            best.Offer(SquaredDistance(position, entry.centre), entry.face);
        }
        return;
    }
    // The nearer child first, so that the farther one is more often skipped.
    std::uint32_t children[2] = {node.left, node.right};
    double bounds[2];
    for (int c = 0; c < 2; ++c) {
        bounds[c] =
            BoxLowerBoundSquared(position, nodes_[children[c]].low, nodes_[children[c]].high);
    }
    if (bounds[1] < bounds[0]) {
        std::swap(children[0], children[1]);
        std::swap(bounds[0], bounds[1]);
    }
    for (int c = 0; c < 2; ++c) {
        if (best.MayBeBeatenWithin(bounds[c], nodes_[children[c]].earliestFace)) {
            Search(children[c], position, best);
        }
    }
}

const CandidateFace* NearestFaceIndex::FindNearest(const Vector3& position) const {
    // A position that is not finite is at no finite distance from any face.
    if (nodes_.empty() || !IsFinite(position)) {
        return nullptr;
    }
    Best best;
    if (best.MayBeBeatenWithin(BoxLowerBoundSquared(position, nodes_[0].low, nodes_[0].high),
                               nodes_[0].earliestFace)) {
        Search(0, position, best);
    }
    return best.face == NoFace ? nullptr : &faces_[best.face];
}

}  // namespace cmp
