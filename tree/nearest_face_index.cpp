#include "tree/nearest_face_index.h"

#include <algorithm>
#include <cmath>

namespace cmp {

// Why the search finds exactly the scan's face. Rounding to nearest is monotonic, so as a
// centre coordinate moves away from the position, the float difference the scan computes
// never shrinks, and neither do its square, the double sums or the root. A centre inside
// a box is on every axis at least as far from the position as the box's nearer edge, so
// its distance as the scan computes it is at least that of the box's gaps computed the
// same way (a gap below the box, low - p, rounds to exactly -(p - low)). Squares are
// compared with the largest square whose root is at most the best distance, which the
// root itself decides (see LargestSquareWithin): a square above it has a root above the
// best distance, so neither that face nor any face of that box can win or tie.

namespace {

// Faces whose centre is this far away or farther are never nearest.
constexpr double NoFaceDistance = 999999.0f;
constexpr std::uint32_t NoFace = std::numeric_limits<std::uint32_t>::max();
constexpr double Infinity = std::numeric_limits<double>::infinity();

// A leaf holds at most this many centres: checking a centre costs less than weighing a
// box, so leaves are large.
constexpr std::uint32_t LeafCentres = 64;

bool IsFinite(const Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// The square of the scan's distance: differences in float, squares summed in double in
// x, y, z order. The scan then takes the root in double.
double SquaredDistance(float dx, float dy, float dz) {
    return double{dx} * dx + double{dy} * dy + double{dz} * dz;
}

// How far `p` lies outside [low, high], as the scan's difference at the nearer edge; 0
// inside.
float Gap(float p, float low, float high) {
    return p < low ? low - p : p > high ? p - high : 0.0f;
}

// The largest square whose root (in double) is at most `distance`: stepped to from
// distance * distance, one representable value at a time, asking the root each time. As
// the root never decreases with the square, a square is at most the result exactly when
// its root is at most `distance`.
double LargestSquareWithin(double distance) {
    double square = distance * distance;
    while (std::sqrt(std::nextafter(square, Infinity)) <= distance) {
        square = std::nextafter(square, Infinity);
    }
    while (std::sqrt(square) > distance) {
        square = std::nextafter(square, 0.0);
    }
    return square;
}

}  // namespace

// The best face so far in the scan's order: by distance, then by index. Which faces are
// offered, and in which order, never changes the least of them.
struct NearestFaceIndex::Best {
    double distance = NoFaceDistance;
    double squareLimit = LargestSquareWithin(NoFaceDistance);
    std::uint32_t face = NoFace;  // NoFace: only a strictly nearer face may win

    // Whether a face whose squared distance is at least `square` could beat this one (a
    // tie included: it may be an earlier face).
    bool MayBeBeatenFrom(double square) const { return square <= squareLimit; }

    void Offer(double square, std::uint32_t index) {
        if (!MayBeBeatenFrom(square)) {
            return;  // farther (or not a number, which the scan never takes either)
        }
        const double candidate = std::sqrt(square);
        if (candidate < distance || (candidate == distance && face != NoFace && index < face)) {
            distance = candidate;
            squareLimit = LargestSquareWithin(candidate);
            face = index;
        }
    }
};

const CandidateFace* ScanForNearestCandidate(const std::vector<CandidateFace>& faces,
                                             const Vector3& position) {
    double best = NoFaceDistance;
    const CandidateFace* nearest = nullptr;
    for (const CandidateFace& face : faces) {
        const float dx = position.x - face.centre.x;
        const float dy = position.y - face.centre.y;
        const float dz = position.z - face.centre.z;
        const double distance = std::sqrt(SquaredDistance(dx, dy, dz));
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
        nodes_.reserve(2 * (centres_.size() / LeafCentres) + 1);
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
    // centres (a sample does as well as all of them here, and costs nothing). The order
    // within a half does not matter.
    const Box sample = BoxOf(begin, end, (end - begin) / LeafCentres);
    const double sides[3] = {double{sample.high.x} - sample.low.x,
                             double{sample.high.y} - sample.low.y,
                             double{sample.high.z} - sample.low.z};
    float Vector3::*const axes[3] = {&Vector3::x, &Vector3::y, &Vector3::z};
    float Vector3::*const axis = axes[std::max_element(sides, sides + 3) - sides];
    const auto along = [axis](const Centre& a, const Centre& b) { return a.at.*axis < b.at.*axis; };
    const std::uint32_t middle = begin + (end - begin) / 2;
    std::nth_element(centres_.begin() + begin, centres_.begin() + middle, centres_.begin() + end,
                     along);
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

double NearestFaceIndex::SquaredBound(const Vector3& p, std::uint32_t node) const {
    const Vector3& low = nodes_[node].box.low;
    const Vector3& high = nodes_[node].box.high;
    return SquaredDistance(Gap(p.x, low.x, high.x), Gap(p.y, low.y, high.y),
                           Gap(p.z, low.z, high.z));
}

void NearestFaceIndex::Search(std::uint32_t index, const Vector3& p, Best& best) const {
    const Node& node = nodes_[index];
    if (node.firstChild == 0) {
        for (std::uint32_t i = node.begin; i < node.end; ++i) {
            const Vector3& c = centres_[i].at;
            best.Offer(SquaredDistance(p.x - c.x, p.y - c.y, p.z - c.z), centres_[i].face);
        }
        return;
    }
    // The nearer half first: its faces more often let the other be passed by.
    std::uint32_t near = node.firstChild;
    std::uint32_t far = node.firstChild + 1;
    double nearBound = SquaredBound(p, near);
    double farBound = SquaredBound(p, far);
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
        best.Offer(SquaredDistance(position.x - c.x, position.y - c.y, position.z - c.z),
                   static_cast<std::uint32_t>(hint - faces_.data()));
    }
    if (best.MayBeBeatenFrom(SquaredBound(position, 0))) {
        Search(0, position, best);
    }
    return best.face == NoFace ? nullptr : &faces_[best.face];
}

}  // namespace cmp
