#include "tree/nearest_face_index.h"

#include <emmintrin.h>
#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cmath>
#include <limits>
#include <span>
#include <utility>

namespace cmp {

namespace {

// Faces whose centre is this far away or farther are never nearest.
constexpr float NoFaceDistance = 999999.0f;
constexpr std::uint32_t NoFace = std::numeric_limits<std::uint32_t>::max();

// Faces per leaf: a run of the listed faces (four full groups), and at most this many
// sorted centres (the curve's cells decide how many). Measured over 21,845 faces, larger
// leaves of sorted centres searched a little faster down to 32, and listed runs that
// divide the rows of a modeller's grid evenly did best.
constexpr std::uint32_t ListedLeafFaces = 16;
constexpr std::uint32_t SortedLeafFaces = 32;

// Leaves over the listed faces serve only when their boxes are small: all their extents
// together at most this share of the model's extent per leaf.
constexpr double LeafShareOfModel = 1.0 / 8.0;

// Cells per axis of the curve that orders the centres: ten bits each, thirty in all.
constexpr double MortonCells = 1023.0;

// The most children a search defers at once: at most three per level. A tree over
// sorted centres splits a range at most once per bit of the 30-bit codes and then halves
// runs of one code (at most 27 times for 2^32 faces), two splits a level: at most 30
// levels. One over listed faces joins fours: at most 14 levels.
constexpr int MostPendingParts = 3 * 31;

// Four floats or two doubles side by side (SSE2, which both targets have). Each
// operation works lane by lane with the same IEEE rounding as on a single value, so
// every lane holds the result computed alone; -ffp-contract=off keeps multiplications
// and additions apart here too.
using Floats = __m128;
using Doubles = __m128d;

// Four floats from memory of any alignment.
Floats Load(const float four[4]) {
    return _mm_loadu_ps(four);
}

Floats Broadcast(float value) {
    return _mm_set1_ps(value);
}

// Lanes 0 and 1, and lanes 2 and 3, widened to double (exactly).
Doubles LowerHalfWidened(Floats lanes) {
    return _mm_cvtps_pd(lanes);
}
Doubles UpperHalfWidened(Floats lanes) {
    return _mm_cvtps_pd(_mm_movehl_ps(lanes, lanes));
}

// Each lane's (x * x + y * y) + z * z in double, for the float lanes x, y, z: the order
// and rounding of SquaredDistance.
struct FourSquares {
    Doubles lower;  // lanes 0 and 1
    Doubles upper;  // lanes 2 and 3

    // Bit i set when lane i is at most `limit` (never for a lane that is not a number).
    int AtMost(double limit) const {
        const Doubles limits = _mm_set1_pd(limit);
        return _mm_movemask_pd(_mm_cmple_pd(lower, limits)) |
               _mm_movemask_pd(_mm_cmple_pd(upper, limits)) << 2;
    }
    void Store(double lanes[4]) const {
        _mm_storeu_pd(lanes, lower);
        _mm_storeu_pd(lanes + 2, upper);
    }
};

Doubles SquaresAdded(Doubles x, Doubles y, Doubles z) {
    return _mm_add_pd(_mm_add_pd(_mm_mul_pd(x, x), _mm_mul_pd(y, y)), _mm_mul_pd(z, z));
}

FourSquares SquaresAdded(Floats x, Floats y, Floats z) {
    return {SquaresAdded(LowerHalfWidened(x), LowerHalfWidened(y), LowerHalfWidened(z)),
            SquaresAdded(UpperHalfWidened(x), UpperHalfWidened(y), UpperHalfWidened(z))};
}

// Per lane, how far p lies outside [low, high], 0 inside: the larger of low - p and
// p - high. Below the range, low - p rounds to exactly -(p - low): the square of the gap
// the scan's difference would have at the box's edge (see BoxLowerBoundsSquared).
Floats GapOutside(Floats p, Floats low, Floats high) {
    return _mm_max_ps(_mm_max_ps(_mm_sub_ps(low, p), _mm_sub_ps(p, high)), _mm_setzero_ps());
}

bool IsFinite(const Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// The cell along one axis of a finite coordinate, with `scale` cells per unit from `low`.
std::uint32_t CellOf(float coordinate, float low, double scale) {
    const double cell = (double{coordinate} - double{low}) * scale;
    return cell >= MortonCells ? 1023u : cell > 0.0 ? static_cast<std::uint32_t>(cell) : 0u;
}

// Every cell index with its ten bits moved to every third bit, for interleaving three
// axes into one code.
constexpr std::array<std::uint32_t, 1024> Spread = [] {
    std::array<std::uint32_t, 1024> spread{};
    for (std::uint32_t cell = 0; cell < 1024; ++cell) {
        for (int bit = 0; bit < 10; ++bit) {
            spread[cell] |= (cell >> bit & 1u) << (3 * bit);
        }
    }
    return spread;
}();

// Sorts keys (a 30-bit code in the upper half, a face index in the lower) by code, then
// by face: three stable passes of ten bits each over keys already in face order.
void SortByCode(std::vector<std::uint64_t>& keys) {
    std::vector<std::uint32_t> counts(3 * 1024);
    for (const std::uint64_t key : keys) {
        for (int pass = 0; pass < 3; ++pass) {
            ++counts[1024 * pass + (key >> (32 + 10 * pass) & 1023u)];
        }
    }
    std::vector<std::uint64_t> other(keys.size());
    for (int pass = 0; pass < 3; ++pass) {
        std::uint32_t* start = &counts[1024 * pass];
        std::uint32_t sum = 0;
        for (int digit = 0; digit < 1024; ++digit) {
            sum += std::exchange(start[digit], sum);
        }
        for (const std::uint64_t key : keys) {
            other[start[key >> (32 + 10 * pass) & 1023u]++] = key;
        }
        keys.swap(other);
    }
}

// Lower bounds of SquaredDistance(p, c) for every centre c inside each of the four
// boxes of a node (a box that holds nothing is infinitely far).
//
// Why they hold: rounding to nearest is monotonic, so for a centre coordinate c at or
// beyond the box's near side b (|p - c| >= |p - b| in exact terms), the float difference
// the scan computes satisfies |fl(p - c)| >= |fl(p - b)|, which is exactly the float gap
// GapOutside computes. Each square and the two double additions are monotonic in the
// same way, and so is the square root. The bound is therefore at most the distance the
// scan computes for any face in the box, rounding included.
[[gnu::always_inline]] inline FourSquares BoxLowerBoundsSquared(const Floats p[3],
                                                                const float low[3][4],
                                                                const float high[3][4]) {
    return SquaresAdded(GapOutside(p[0], Load(low[0]), Load(high[0])),
                        GapOutside(p[1], Load(low[1]), Load(high[1])),
                        GapOutside(p[2], Load(low[2]), Load(high[2])));
}

// The square of the distance by which faces are compared, before its root (which the
// scan takes in double): differences in float, squares summed in double in x, y, z
// order.
[[gnu::always_inline]] inline double SquaredDistance(const Vector3& position,
                                                     const Vector3& centre) {
    const float dx = position.x - centre.x;
    const float dy = position.y - centre.y;
    const float dz = position.z - centre.z;
    return double{dx} * dx + double{dy} * dy + double{dz} * dz;
}

}  // namespace

void NearestFaceIndex::Box::Include(const float point[3]) {
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = std::min(low[axis], point[axis]);
        high[axis] = std::max(high[axis], point[axis]);
    }
}

void NearestFaceIndex::Box::Include(const Box& other) {
    if (other.HoldsAny()) {
        Include(other.low);
        Include(other.high);
    }
}

double NearestFaceIndex::Box::ExtentSum() const {
    double sum = 0.0;
    for (int axis = 0; axis < 3; ++axis) {
        sum += double{high[axis]} - double{low[axis]};  // finite in double
    }
    return sum;
}

// The best face so far, ordered as the scan orders them: by distance, then by index.
// The best is the least face in that order among those offered, so the order of the
// offers never matters.
//
// Faces are compared through the squares of their distances wherever that decides.
// `rootLimit` is at least every square whose root (as the scan takes it) is at most the
// best distance: a larger square has a larger root, so it can neither win nor tie, and
// only squares at or below the limit have their root taken and compared exactly as the
// scan compares it.
struct NearestFaceIndex::Best {
    double distance = NoFaceDistance;
    double rootLimit = RootLimit(NoFaceDistance);
    std::uint32_t face = NoFace;  // NoFace: only a strictly nearer face may win

    // A square at least as large as any double x with sqrt(x) <= root, for a root in
    // [0, 999999]. Why: if root >= 2^-500, sqrt(x) <= root means the exact root of x is
    // below root + ulp(root) / 2 <= root * (1 + 2^-53), so x < root^2 * (1 + 2^-51); and
    // root^2 is normal, so root * root rounds down by a factor of at most (1 - 2^-53).
    // Hence x < fl(root * root) * (1 + 2^-51) / (1 - 2^-53), less than the product below
    // even after it rounds down by (1 - 2^-53) once more. A smaller root has x < 2^-999.
    static double RootLimit(double root) {
        constexpr double Small = 0x1p-500;
        return root < Small ? 0x1p-999 : (root * root) * (1.0 + 0x1p-50);
    }

    // Offers a face at this squared distance (as SquaredDistance computes it).
    void Offer(double candidateSquared, std::uint32_t index) {
        if (!(candidateSquared <= rootLimit)) {
            return;  // farther than the best (or not a number, which the scan never takes)
        }
        const double candidate = std::sqrt(candidateSquared);
        if (candidate < distance || (candidate == distance && face != NoFace && index < face)) {
            distance = candidate;
            rootLimit = RootLimit(candidate);
            face = index;
        }
    }
    // Whether some face of a box whose faces are all at least sqrt(boundSquared) away
    // could still beat this one (a tie included: it may hold an earlier face).
    bool MayBeBeatenWithin(double boundSquared) const { return boundSquared <= rootLimit; }
};

NearestFaceIndex::NearestFaceIndex(const std::vector<CandidateFace>& faces, std::size_t searches)
    : faces_(faces) {
    if (searches < SearchesWorthATree) {
        scans_ = true;
        return;
    }
    // For fewer searches, the faces as the model lists them make the tree when that
    // order keeps neighbours together, as a modeller's meshes mostly do: no sort.
    if (searches >= SearchesWorthSorting || !BuildOverListedFaces()) {
        BuildOverSortedCentres();
    }
}

NearestFaceIndex::BoxedPart NearestFaceIndex::AddLeaf(std::span<const std::uint32_t> faces) {
    const auto groups =
        static_cast<std::uint32_t>((faces.size() + FacesPerGroup - 1) / FacesPerGroup);
    BoxedPart leaf{{static_cast<std::uint32_t>(groups_.size()), groups}, {}};
    for (std::size_t first = 0; first < faces.size(); first += FacesPerGroup) {
        Group group;
        for (std::uint32_t lane = 0; lane < FacesPerGroup; ++lane) {
            if (first + lane >= faces.size()) {
                constexpr float None = std::numeric_limits<float>::quiet_NaN();
                group.x[lane] = group.y[lane] = group.z[lane] = None;
                group.face[lane] = NoFace;
                continue;
            }
            const std::uint32_t face = faces[first + lane];
            const Vector3& c = faces_[face].centre;
            group.x[lane] = c.x;
            group.y[lane] = c.y;
            group.z[lane] = c.z;
            group.face[lane] = face;
            // A centre that is not finite stays in its lane, where it gives no number
            // Offer takes, but never widens the box.
            if (IsFinite(c)) {
                const float centre[3] = {c.x, c.y, c.z};
                leaf.box.Include(centre);
            }
        }
        groups_.push_back(group);
    }
    return leaf;
}

NearestFaceIndex::BoxedPart NearestFaceIndex::Join(std::span<const BoxedPart> parts) {
    assert(parts.size() >= 2 && parts.size() <= 4);
    Node node;
    BoxedPart parent{{static_cast<std::uint32_t>(nodes_.size()), 0}, {}};
    for (std::size_t c = 0; c < 4; ++c) {
        const Box box = c < parts.size() ? parts[c].box : Box{};
        for (int axis = 0; axis < 3; ++axis) {
            node.low[axis][c] = box.low[axis];
            node.high[axis][c] = box.high[axis];
        }
        node.child[c] = c < parts.size() ? parts[c].part : Part{};
        parent.box.Include(box);
    }
    nodes_.push_back(node);
    return parent;
}

bool NearestFaceIndex::BuildOverListedFaces() {
    // One leaf per run of faces, its box the exact bounds of their finite centres (inside
    // out when there are none: then nothing in it is ever near).
    const auto count = static_cast<std::uint32_t>(faces_.size());
    const std::uint32_t leafCount = (count + ListedLeafFaces - 1) / ListedLeafFaces;
    groups_.reserve(std::size_t{leafCount} * (ListedLeafFaces / FacesPerGroup));
    std::vector<BoxedPart> level;
    level.reserve(leafCount);
    Box bounds;
    double leafExtents = 0.0;
    for (std::uint32_t begin = 0; begin < count; begin += ListedLeafFaces) {
        std::array<std::uint32_t, ListedLeafFaces> run;
        const std::uint32_t size = std::min(ListedLeafFaces, count - begin);
        for (std::uint32_t i = 0; i < size; ++i) {
            run[i] = begin + i;
        }
        level.push_back(AddLeaf({run.data(), size}));
        if (level.back().box.HoldsAny()) {
            leafExtents += level.back().box.ExtentSum();
            bounds.Include(level.back().box);
        }
    }
    // Scattered faces make leaves about as large as the whole model, which would prune
    // nothing: then the curve orders them after all. No finite centre: nothing to find.
    if (!bounds.HoldsAny() ||
        leafExtents > bounds.ExtentSum() * static_cast<double>(leafCount) * LeafShareOfModel) {
        groups_.clear();
        return false;
    }
    // Neighbours in the list joined in fours, level by level, up to one root; a level's
    // last lone part moves up as it is.
    nodes_.reserve(leafCount / 3 + 1);
    std::vector<BoxedPart> next;
    while (level.size() > 1) {
        next.clear();
        for (std::size_t first = 0; first < level.size(); first += 4) {
            const std::size_t joined = std::min<std::size_t>(4, level.size() - first);
            next.push_back(joined == 1 ? level[first] : Join({&level[first], joined}));
        }
        level.swap(next);
    }
    root_ = level.front();
    return true;
}

void NearestFaceIndex::BuildOverSortedCentres() {
    // A centre that is not finite is never nearer than anything: it is left out.
    Box bounds;
    for (const CandidateFace& face : faces_) {
        if (IsFinite(face.centre)) {
            const float centre[3] = {face.centre.x, face.centre.y, face.centre.z};
            bounds.Include(centre);
        }
    }
    if (!bounds.HoldsAny()) {
        return;
    }
    // The centres in the order of a curve through the box that keeps neighbours in space
    // mostly neighbours in the list: one sort of small integer keys instead of a
    // partition per tree level. The order only shapes the tree; every box is computed
    // from the centres it holds, which is all the pruning relies on.
    double scale[3];
    for (int axis = 0; axis < 3; ++axis) {
        const double extent = double{bounds.high[axis]} - double{bounds.low[axis]};
        scale[axis] = extent > 0.0 ? MortonCells / extent : 0.0;
    }
    std::vector<std::uint64_t> keys;
    keys.reserve(faces_.size());
    for (std::uint32_t face = 0; face < faces_.size(); ++face) {
        const Vector3& c = faces_[face].centre;
        if (IsFinite(c)) {
            const std::uint32_t code = Spread[CellOf(c.x, bounds.low[0], scale[0])] << 2 |
                                       Spread[CellOf(c.y, bounds.low[1], scale[1])] << 1 |
                                       Spread[CellOf(c.z, bounds.low[2], scale[2])];
            keys.push_back(std::uint64_t{code} << 32 | face);
        }
    }
    SortByCode(keys);
    groups_.reserve(keys.size() / 2);
    nodes_.reserve(keys.size() / 16 + 1);
    root_ = Build(keys, 0, static_cast<std::uint32_t>(keys.size()));
}

namespace {

// Where the sorted keys [begin, end) divide, or `begin` when they make one leaf: where
// the highest bit in which the range's codes differ turns from 0 to 1, the halves of the
// largest cell of the curve that holds the whole range. A range of one code (duplicates,
// or centres closer than a cell) is halved.
std::uint32_t SplitOf(const std::vector<std::uint64_t>& keys, std::uint32_t begin,
                      std::uint32_t end) {
    if (end - begin <= SortedLeafFaces) {
        return begin;
    }
    const auto firstCode = static_cast<std::uint32_t>(keys[begin] >> 32);
    const auto lastCode = static_cast<std::uint32_t>(keys[end - 1] >> 32);
    if (firstCode == lastCode) {
        return begin + (end - begin) / 2;
    }
    const std::uint32_t highBit = std::uint32_t{1} << (std::bit_width(firstCode ^ lastCode) - 1);
    const std::uint32_t prefix = lastCode & ~(highBit - 1);  // the upper half's first code
    return static_cast<std::uint32_t>(
        std::lower_bound(keys.begin() + begin, keys.begin() + end, std::uint64_t{prefix} << 32) -
        keys.begin());
}

}  // namespace

NearestFaceIndex::BoxedPart NearestFaceIndex::Build(const std::vector<std::uint64_t>& keys,
                                                    std::uint32_t begin, std::uint32_t end) {
    const std::uint32_t middle = SplitOf(keys, begin, end);
    if (middle == begin) {
        std::array<std::uint32_t, SortedLeafFaces> run;
        for (std::uint32_t i = begin; i < end; ++i) {
            run[i - begin] = static_cast<std::uint32_t>(keys[i]);
        }
        return AddLeaf({run.data(), end - begin});
    }
    // Two levels of halves at once: the node's children are up to four quarters.
    const std::uint32_t cuts[5] = {begin, SplitOf(keys, begin, middle), middle,
                                   SplitOf(keys, middle, end), end};
    std::array<BoxedPart, 4> parts;
    std::size_t count = 0;
    for (int quarter = 0; quarter < 4; ++quarter) {
        if (cuts[quarter] < cuts[quarter + 1]) {
            parts[count++] = Build(keys, cuts[quarter], cuts[quarter + 1]);
        }
    }
    return Join({parts.data(), count});
}

void NearestFaceIndex::SearchLeaf(Part leaf, const float at[3], Best& best) const {
    const Floats position[3] = {Broadcast(at[0]), Broadcast(at[1]), Broadcast(at[2])};
    for (std::uint32_t g = leaf.index; g < leaf.index + leaf.groups; ++g) {
        const Group& group = groups_[g];
        const FourSquares squares = SquaresAdded(_mm_sub_ps(position[0], Load(group.x)),
                                                 _mm_sub_ps(position[1], Load(group.y)),
                                                 _mm_sub_ps(position[2], Load(group.z)));
        // Most groups hold no face that may win: one test passes them all by.
        int near = squares.AtMost(best.rootLimit);
        if (near == 0) {
            continue;
        }
        double lanes[FacesPerGroup];
        squares.Store(lanes);
        for (; near != 0; near &= near - 1) {
            const int lane = std::countr_zero(static_cast<unsigned>(near));
            best.Offer(lanes[lane], group.face[lane]);
        }
    }
}

const CandidateFace* NearestFaceIndex::FindNearest(const Vector3& position,
                                                   const CandidateFace* hint) const {
    if (scans_) {
        return ScanForNearestCandidate(faces_, position);
    }
    // A position that is not finite is at no finite distance from any face.
    if (groups_.empty() || !IsFinite(position)) {
        return nullptr;
    }
    Best best;
    // The hint is offered like any face, so it wins only where the scan would pick it.
    if (hint != nullptr && hint >= faces_.data() && hint < faces_.data() + faces_.size()) {
        best.Offer(SquaredDistance(position, hint->centre),
                   static_cast<std::uint32_t>(hint - faces_.data()));
    }
    const float at[3] = {position.x, position.y, position.z};
    const Floats lanes[3] = {Broadcast(at[0]), Broadcast(at[1]), Broadcast(at[2])};
    // The root's box alone, in the first lane of each axis.
    const float rootLow[3][4] = {{root_.box.low[0]}, {root_.box.low[1]}, {root_.box.low[2]}};
    const float rootHigh[3][4] = {{root_.box.high[0]}, {root_.box.high[1]}, {root_.box.high[2]}};
    if ((BoxLowerBoundsSquared(lanes, rootLow, rootHigh).AtMost(best.rootLimit) & 1) == 0) {
        return best.face == NoFace ? nullptr : &faces_[best.face];
    }
    // Depth first, the nearest child first so that the others are more often skipped; a
    // deferred child is weighed again when its turn comes, against the best by then.
    struct Pending {
        std::uint32_t index;
        std::uint32_t groups;
        double bound;
    };
    Pending pending[MostPendingParts];
    int pendingCount = 0;
    Part part = root_.part;
    for (;;) {
        if (part.groups > 0) {
            SearchLeaf(part, at, best);
        } else {
            const Node& node = nodes_[part.index];
            const FourSquares bounds = BoxLowerBoundsSquared(lanes, node.low, node.high);
            if (int near = bounds.AtMost(best.rootLimit); near != 0) {
                double lanesOfBounds[4];
                bounds.Store(lanesOfBounds);
                // The nearest child goes on; the others wait, in child order.
                int nearest = std::countr_zero(static_cast<unsigned>(near));
                for (int rest = near & (near - 1); rest != 0; rest &= rest - 1) {
                    const int child = std::countr_zero(static_cast<unsigned>(rest));
                    nearest = lanesOfBounds[child] < lanesOfBounds[nearest] ? child : nearest;
                }
                for (int waiting = near & ~(1 << nearest); waiting != 0; waiting &= waiting - 1) {
                    const int child = std::countr_zero(static_cast<unsigned>(waiting));
                    assert(pendingCount < MostPendingParts);
                    pending[pendingCount++] = {node.child[child].index, node.child[child].groups,
                                               lanesOfBounds[child]};
                }
                part = node.child[nearest];
                continue;
            }
        }
        for (;;) {
            if (pendingCount == 0) {
                return best.face == NoFace ? nullptr : &faces_[best.face];
            }
            const Pending& next = pending[--pendingCount];
            if (best.MayBeBeatenWithin(next.bound)) {
                part = {next.index, next.groups};
                break;
            }
        }
    }
}

}  // namespace cmp
