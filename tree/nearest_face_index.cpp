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

// Faces per leaf: a run of the listed faces (eight full groups), and at most this many
// sorted centres (the curve's cells decide how many). Measured over 21,845 faces with
// the groups screened in float, sorted leaves of 64 built and searched a little faster
// than 32 (and no slower than 128), and listed runs of 32, which divide the rows of a
// modeller's grid evenly, faster than 16.
constexpr std::uint32_t ListedLeafFaces = 32;
constexpr std::uint32_t SortedLeafFaces = 64;

// Leaves over the listed faces serve only when their boxes are small: all their extents
// together at most this share of the model's extent per leaf.
constexpr double LeafShareOfModel = 1.0 / 8.0;

// Cells per axis of the curve that orders the centres: ten bits each, thirty in all.
constexpr float MortonCells = 1023.0f;

// The most children a search defers at once: at most three per level. A tree over
// sorted centres splits a range at most once per bit of the 30-bit codes and then halves
// runs of one code (at most 26 times for 2^32 faces), two splits a level: at most 30
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

// The same sum with every operation in float: twice the lanes per instruction and no
// widening, but rounded more coarsely. It only screens (see Best::screen): a lane it
// passes is computed again in double before anything is decided.
Floats FloatSquaresAdded(Floats x, Floats y, Floats z) {
    return _mm_add_ps(_mm_add_ps(_mm_mul_ps(x, x), _mm_mul_ps(y, y)), _mm_mul_ps(z, z));
}

// Bit i set when lane i is at most `limit` (never for a lane that is not a number).
int AtMost(Floats lanes, float limit) {
    return _mm_movemask_ps(_mm_cmple_ps(lanes, Broadcast(limit)));
}

// Per lane, how far p lies outside [low, high], 0 inside: the larger of low - p and
// p - high. Below the range, low - p rounds to exactly -(p - low): the square of the gap
// the scan's difference would have at the box's edge (see BoxLowerBoundsSquared).
Floats GapOutside(Floats p, Floats low, Floats high) {
    return _mm_max_ps(_mm_max_ps(_mm_sub_ps(low, p), _mm_sub_ps(p, high)), _mm_setzero_ps());
}

// All three tested at once, without a branch for each.
bool IsFinite(const Vector3& v) {
    return std::isfinite(v.x) & std::isfinite(v.y) & std::isfinite(v.z);
}

// A finite centre's x, y and z with a fourth lane of 0, or NaN in every lane for a
// centre that is not finite: no box takes it in (see Box), and no search takes a face
// at no finite distance.
Floats CentreLanes(const Vector3& c) {
    return IsFinite(c) ? _mm_setr_ps(c.x, c.y, c.z, 0.0f)
                       : Broadcast(std::numeric_limits<float>::quiet_NaN());
}

// The least and the greatest of four lanes, in every lane.
Floats LeastLane(Floats lanes) {
    lanes = _mm_min_ps(lanes, _mm_shuffle_ps(lanes, lanes, 0x4E));
    return _mm_min_ps(lanes, _mm_shuffle_ps(lanes, lanes, 0xB1));
}
Floats GreatestLane(Floats lanes) {
    lanes = _mm_max_ps(lanes, _mm_shuffle_ps(lanes, lanes, 0x4E));
    return _mm_max_ps(lanes, _mm_shuffle_ps(lanes, lanes, 0xB1));
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
// boxes of a node (a box that holds nothing is infinitely far), summed in float for
// Best::screen.
//
// Why they hold: rounding to nearest is monotonic, so for a centre coordinate c at or
// beyond the box's near side b (|p - c| >= |p - b| in exact terms), the float difference
// the scan computes satisfies |fl(p - c)| >= |fl(p - b)|, which is exactly the float gap
// GapOutside computes. Each square and the two double additions are monotonic in the
// same way, and so is the square root. The double sum of the gaps' squares is therefore
// at most the distance the scan computes for any face in the box, rounding included,
// and a float sum above the screen means a double sum above the limit.
[[gnu::always_inline]] inline Floats BoxLowerBoundsSquared(const Floats p[3], const float low[3][4],
                                                           const float high[3][4]) {
    return FloatSquaresAdded(GapOutside(p[0], Load(low[0]), Load(high[0])),
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

// Lanes that are NaN leave the bounds as they are: a minimum or maximum with NaN in
// its first operand gives the second.
void NearestFaceIndex::Box::Include(Floats lowest, Floats highest) {
    _mm_storeu_ps(low, _mm_min_ps(lowest, Load(low)));
    _mm_storeu_ps(high, _mm_max_ps(highest, Load(high)));
}

void NearestFaceIndex::Box::Include(const Box& other) {
    Include(Load(other.low), Load(other.high));  // a box holding nothing changes nothing
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
//
// `screen` does the same for squares summed in float (FloatSquaresAdded) from the same
// float differences: a float sum above it means a double sum above rootLimit. Why: with
// e the exact sum of the three squares, each float operation rounds up by at most a
// factor (1 + 2^-24) plus 2^-150 where it is subnormal, so the float sum is at most
// e (1 + 2^-24)^3 + 2^-148 (and +infinity only when e exceeds any limit here, which is
// below 2^40); the double sum (exact squares, two additions) is at least e (1 - 2^-53)^2.
// The screen is at least rootLimit (1 + 2^-20) + 2^-140, so a float sum above it has
// e > rootLimit (1 + 2^-21) and the double sum above rootLimit.
struct NearestFaceIndex::Best {
    double distance = NoFaceDistance;
    double rootLimit = RootLimit(NoFaceDistance);
    float screen = ScreenOf(rootLimit);
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
    // A float at or above limit (1 + 2^-20) + 2^-140: the sum below exceeds that by
    // more than its own two roundings and the float's (a factor 1 - 2^-24, or 2^-150
    // where the float is subnormal) can take away.
    static float ScreenOf(double limit) {
        return static_cast<float>(limit * (1.0 + 0x1p-19) + 0x1p-139);
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
            screen = ScreenOf(rootLimit);
            face = index;
        }
    }
    // Whether some face of a box whose faces are all at least as far as the float bound
    // `boundSquared` shows could still beat this one (a tie included: it may hold an
    // earlier face).
    bool MayBeBeatenWithin(float boundSquared) const { return boundSquared <= screen; }
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
    constexpr float None = std::numeric_limits<float>::quiet_NaN();
    Floats low[3] = {Broadcast(Infinity), Broadcast(Infinity), Broadcast(Infinity)};
    Floats high[3] = {Broadcast(-Infinity), Broadcast(-Infinity), Broadcast(-Infinity)};
    for (std::size_t first = 0; first < faces.size(); first += FacesPerGroup) {
        // The lanes are gathered in registers and stored whole: a vector load right after
        // four narrow stores to the same place would wait for them.
        Group group;
        float lane[3][FacesPerGroup];
        for (std::uint32_t l = 0; l < FacesPerGroup; ++l) {
            const bool held = first + l < faces.size();
            const std::uint32_t face = held ? faces[first + l] : NoFace;
            // A centre that is not finite is never nearest: its lane stays NaN.
            const bool finite = held && IsFinite(faces_[face].centre);
            const Vector3 c = finite ? faces_[face].centre : Vector3{None, None, None};
            lane[0][l] = c.x;
            lane[1][l] = c.y;
            lane[2][l] = c.z;
            group.face[l] = finite ? face : NoFace;
        }
        const Floats lanes[3] = {_mm_setr_ps(lane[0][0], lane[0][1], lane[0][2], lane[0][3]),
                                 _mm_setr_ps(lane[1][0], lane[1][1], lane[1][2], lane[1][3]),
                                 _mm_setr_ps(lane[2][0], lane[2][1], lane[2][2], lane[2][3])};
        _mm_storeu_ps(group.x, lanes[0]);
        _mm_storeu_ps(group.y, lanes[1]);
        _mm_storeu_ps(group.z, lanes[2]);
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = _mm_min_ps(lanes[axis], low[axis]);
            high[axis] = _mm_max_ps(lanes[axis], high[axis]);
        }
        groups_.push_back(group);
    }
    leaf.box.Include(_mm_unpacklo_ps(_mm_unpacklo_ps(LeastLane(low[0]), LeastLane(low[2])),
                                     _mm_unpacklo_ps(LeastLane(low[1]), _mm_setzero_ps())),
                     _mm_unpacklo_ps(_mm_unpacklo_ps(GreatestLane(high[0]), GreatestLane(high[2])),
                                     _mm_unpacklo_ps(GreatestLane(high[1]), _mm_setzero_ps())));
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
    Floats low = Broadcast(Infinity);
    Floats high = Broadcast(-Infinity);
    for (const CandidateFace& face : faces_) {
        const Floats centre = CentreLanes(face.centre);
        low = _mm_min_ps(centre, low);
        high = _mm_max_ps(centre, high);
    }
    Box bounds;
    bounds.Include(low, high);
    if (!bounds.HoldsAny()) {
        return;
    }
    // The centres in the order of a curve through the box that keeps neighbours in space
    // mostly neighbours in the list: one sort of small integer keys instead of a
    // partition per tree level. The order only shapes the tree; every box is computed
    // from the centres it holds, which is all the pruning relies on (so the cells may be
    // computed in float, and clamped where that overflows). The cells are cubes, sized by
    // the longest side: a flat model's thin side is then split as seldom as its size
    // asks, and the leaves come out about as wide as they are long.
    double longest = 0.0;
    for (int axis = 0; axis < 3; ++axis) {
        longest = std::max(longest, double{bounds.high[axis]} - double{bounds.low[axis]});
    }
    const float cellsPerUnit = longest > 0.0 ? static_cast<float>(MortonCells / longest) : 0.0f;
    const float scale[4] = {cellsPerUnit, cellsPerUnit, cellsPerUnit, 0.0f};
    const Floats origin = Load(bounds.low);
    const Floats scales = Load(scale);
    std::vector<std::uint64_t> keys;
    keys.reserve(faces_.size());
    for (std::uint32_t face = 0; face < faces_.size(); ++face) {
        const Vector3& c = faces_[face].centre;
        if (IsFinite(c)) {
            const Floats cells = _mm_min_ps(
                _mm_max_ps(_mm_mul_ps(_mm_sub_ps(_mm_setr_ps(c.x, c.y, c.z, 0.0f), origin), scales),
                           _mm_setzero_ps()),
                Broadcast(MortonCells));
            alignas(16) std::int32_t cell[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(cell), _mm_cvttps_epi32(cells));
            const std::uint32_t code =
                Spread[cell[0]] << 2 | Spread[cell[1]] << 1 | Spread[cell[2]];
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
        const Floats dx = _mm_sub_ps(position[0], Load(group.x));
        const Floats dy = _mm_sub_ps(position[1], Load(group.y));
        const Floats dz = _mm_sub_ps(position[2], Load(group.z));
        // Most groups hold no face that may win: one test in float passes them all by.
        int near = AtMost(FloatSquaresAdded(dx, dy, dz), best.screen);
        if (near == 0) {
            continue;
        }
        double lanes[FacesPerGroup];
        SquaresAdded(dx, dy, dz).Store(lanes);
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
    if ((AtMost(BoxLowerBoundsSquared(lanes, rootLow, rootHigh), best.screen) & 1) == 0) {
        return best.face == NoFace ? nullptr : &faces_[best.face];
    }
    // Depth first, the nearest child first so that the others are more often skipped; a
    // deferred child is weighed again when its turn comes, against the best by then.
    struct Pending {
        std::uint32_t index;
        std::uint32_t groups;
        float bound;
    };
    Pending pending[MostPendingParts + 1];
    int pendingCount = 0;
    Part part = root_.part;
    for (;;) {
        if (part.groups > 0) {
            SearchLeaf(part, at, best);
        } else {
            const Node& node = nodes_[part.index];
            const Floats bounds = BoxLowerBoundsSquared(lanes, node.low, node.high);
            if (int near = AtMost(bounds, best.screen); near != 0) {
                float lanesOfBounds[4];
                _mm_storeu_ps(lanesOfBounds, bounds);
                // The nearest child goes on (the first of equals); the others wait, in
                // child order. Bounds are never NaN for a finite position, and the
                // least of them is among the near ones. Written without branches: which
                // children are near follows no pattern a processor could learn.
                Floats least = _mm_min_ps(bounds, _mm_shuffle_ps(bounds, bounds, 0x4E));
                least = _mm_min_ps(least, _mm_shuffle_ps(least, least, 0xB1));
                const int nearest = std::countr_zero(
                    static_cast<unsigned>(_mm_movemask_ps(_mm_cmpeq_ps(bounds, least)) & near));
                const int waiting = near & ~(1 << nearest);
                assert(pendingCount + 3 <= MostPendingParts);
                for (int child = 0; child < 4; ++child) {
                    // Written always, kept only when waiting: the array has a spare entry.
                    pending[pendingCount] = {node.child[child].index, node.child[child].groups,
                                             lanesOfBounds[child]};
                    pendingCount += waiting >> child & 1;
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
