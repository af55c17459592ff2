#include "tree/tree.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace cmp {

// Why the search finds exactly the scan's face: rounding to nearest is monotonic, so as
// a centre moves away from the position along an axis, the float difference the scan
// computes never shrinks, and neither do its square, the double sums or the root. A
// centre inside a box is on every axis at least as far from the position as the box's
// nearer edge, so the scan's distance to it is at least the distance computed the same
// way from the gaps to those edges (below the box, low - p rounds to exactly -(p - low)).
// A box whose gaps come to more than the best distance so far holds no face that could
// win or tie; every other box is searched, and its faces are weighed as the scan weighs
// them.

namespace {

// Faces whose centre is this far away or farther are never nearest.
constexpr double NoFaceDistance = 999999.0f;
constexpr std::uint32_t NoFace = std::numeric_limits<std::uint32_t>::max();

// A leaf holds at most this many centres: weighing a centre costs less than weighing a
// box, so leaves are large.
constexpr std::uint32_t LeafCentres = 64;

bool IsFinite(const Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// The scan's distance: differences in float, squares summed in double in x, y, z order,
// the root taken in double.
double Distance(float dx, float dy, float dz) {
    return std::sqrt(double{dx} * dx + double{dy} * dy + double{dz} * dz);
}

// How far `p` lies outside [low, high], as the scan's difference at the nearer edge; 0
// inside.
float Gap(float p, float low, float high) {
    return p < low ? low - p : p > high ? p - high : 0.0f;
}

}  // namespace

// The best face so far in the scan's order: by distance, then by index. Which faces are
// offered, and in which order, never changes the least of them.
struct NearestFaceIndex::Best {
    double distance = NoFaceDistance;
    std::uint32_t face = NoFace;  // NoFace: only a strictly nearer face may win

    // Whether a face at least `bound` away could beat this one (a tie included: it may
    // be an earlier face).
    bool MayBeBeatenFrom(double bound) const { return bound <= distance; }

    void Offer(double candidate, std::uint32_t index) {
        // A distance that is not a number never wins, in the scan either.
        if (candidate < distance || (candidate == distance && face != NoFace && index < face)) {
            distance = candidate;
            face = index;
        }
    }
};

const CandidateFace* ScanForNearestCandidate(const std::vector<CandidateFace>& faces,
                                             const Vector3& position) {
    double best = NoFaceDistance;
    const CandidateFace* nearest = nullptr;
    for (const CandidateFace& face : faces) {
        const double distance = Distance(position.x - face.centre.x, position.y - face.centre.y,
                                         position.z - face.centre.z);
        if (distance < best) {
            best = distance;
            nearest = &face;
        }
    }
    return nearest;
}

NearestFaceIndex::NearestFaceIndex(const std::vector<CandidateFace>& faces, std::size_t searches)
    : faces_(faces) {
    if (searches < SearchesWorthATree) {
        scans_ = true;
        return;
    }
    // A centre that is not finite is at no finite distance from anything: left out.
    for (std::uint32_t face = 0; face < faces.size(); ++face) {
        if (IsFinite(faces[face].centre)) {
            centres_.push_back({faces[face].centre, face});
        }
    }
    if (!centres_.empty()) {
        nodes_.reserve(4 * (centres_.size() / LeafCentres) + 1);  // leaves hold at least half
        nodes_.emplace_back();
        Build(0, 0, static_cast<std::uint32_t>(centres_.size()));
    }
}

void NearestFaceIndex::Build(std::uint32_t node, std::uint32_t begin, std::uint32_t end) {
    nodes_[node].begin = begin;
    nodes_[node].end = end;
    if (end - begin <= LeafCentres) {
        nodes_[node].box = BoxOf(begin, end, 1);
        return;
    }
    // Halves at the median along the longest side of the box of every so many of the
    // centres (a sample does as well as all of them here, and costs next to nothing).
    // The order within a half does not matter.
    const Box sample = BoxOf(begin, end, (end - begin) / LeafCentres);
    const double sides[3] = {double{sample.high.x} - sample.low.x,
                             double{sample.high.y} - sample.low.y,
                             double{sample.high.z} - sample.low.z};
    float Vector3::*const axes[3] = {&Vector3::x, &Vector3::y, &Vector3::z};
    float Vector3::*const axis = axes[std::max_element(sides, sides + 3) - sides];
    const std::uint32_t middle = begin + (end - begin) / 2;
    std::nth_element(centres_.begin() + begin, centres_.begin() + middle, centres_.begin() + end,
                     [axis](const Centre& a, const Centre& b) { return a.at.*axis < b.at.*axis; });
    const auto firstChild = static_cast<std::uint32_t>(nodes_.size());
    nodes_[node].firstChild = firstChild;
    nodes_.resize(nodes_.size() + 2);
    Build(firstChild, begin, middle);
    Build(firstChild + 1, middle, end);
    nodes_[node].box = nodes_[firstChild].box;
    nodes_[node].box.Include(nodes_[firstChild + 1].box);
}

NearestFaceIndex::Box NearestFaceIndex::BoxOf(std::uint32_t begin, std::uint32_t end,
                                              std::uint32_t step) const {
    Box box{centres_[begin].at, centres_[begin].at};
    for (std::uint32_t i = begin + step; i < end; i += step) {
        box.Include({centres_[i].at, centres_[i].at});
    }
    return box;
}

double NearestFaceIndex::Bound(const Vector3& p, std::uint32_t node) const {
    const Box& box = nodes_[node].box;
    return Distance(Gap(p.x, box.low.x, box.high.x), Gap(p.y, box.low.y, box.high.y),
                    Gap(p.z, box.low.z, box.high.z));
}

void NearestFaceIndex::Search(std::uint32_t index, const Vector3& p, Best& best) const {
    const Node& node = nodes_[index];
    if (node.firstChild == 0) {
        for (std::uint32_t i = node.begin; i < node.end; ++i) {
            const Vector3& c = centres_[i].at;
            best.Offer(Distance(p.x - c.x, p.y - c.y, p.z - c.z), centres_[i].face);
        }
        return;
    }
    // The nearer half first: its faces more often let the other be passed by.
    std::uint32_t near = node.firstChild;
    std::uint32_t far = node.firstChild + 1;
    double nearBound = Bound(p, near);
    double farBound = Bound(p, far);
    if (farBound < nearBound) {
        std::swap(near, far);
        std::swap(nearBound, farBound);
    }
    if (best.MayBeBeatenFrom(nearBound)) {
        Search(near, p, best);
    }
    if (best.MayBeBeatenFrom(farBound)) {
        Search(far, p, best);
    }
}

const CandidateFace* NearestFaceIndex::FindNearest(const Vector3& position,
                                                   const CandidateFace* hint) const {
    if (scans_) {
        return ScanForNearestCandidate(faces_, position);
    }
    // A position that is not finite is at no finite distance from any face.
    if (nodes_.empty() || !IsFinite(position)) {
        return nullptr;
    }
    Best best;
    // The hint is offered like any face, so it wins only where the scan would pick it.
    if (hint != nullptr && hint >= faces_.data() && hint < faces_.data() + faces_.size()) {
        const Vector3& c = hint->centre;
        best.Offer(Distance(position.x - c.x, position.y - c.y, position.z - c.z),
                   static_cast<std::uint32_t>(hint - faces_.data()));
    }
    if (best.MayBeBeatenFrom(Bound(position, 0))) {
        Search(0, position, best);
    }
    return best.face == NoFace ? nullptr : &faces_[best.face];
}

}  // namespace cmp
