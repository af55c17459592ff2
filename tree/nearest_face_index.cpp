#include "tree/nearest_face_index.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <utility>

namespace cmp {

namespace {

// Faces whose centre is this far away or farther are never nearest.
constexpr float NoFaceDistance = 999999.0f;
constexpr std::uint32_t FacesPerLeaf = 12;
constexpr std::uint32_t NoFace = std::numeric_limits<std::uint32_t>::max();

// Leaves over the listed faces serve only when their boxes are small: all their extents
// together at most this share of the model's extent per leaf.
constexpr double LeafShareOfModel = 1.0 / 8.0;

// Cells per axis of the curve that orders the centres: ten bits each, thirty in all.
constexpr double MortonCells = 1023.0;

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

// A lower bound of SquaredDistance(position, c) for every centre c inside the box.
//
// Why it holds: rounding to nearest is monotonic, so for a centre coordinate c at or
// beyond the box's near side b (|p - c| >= |p - b| in exact terms), the float difference
// the scan computes satisfies |fl(p - c)| >= |fl(p - b)|, which is exactly the float
// difference this function computes. Each square and the two double additions are
// monotonic in the same way, and so is the square root. The bound is therefore at most
// the distance the scan computes for any face in the box, rounding included.
//
// The gap below the box is taken as low - p, which rounds to exactly -(p - low): the
// same square.
[[gnu::always_inline]] inline double BoxLowerBoundSquared(const Vector3& position,
                                                          const float low[3], const float high[3]) {
    const float p[3] = {position.x, position.y, position.z};
    float gap[3];
    for (int axis = 0; axis < 3; ++axis) {
        gap[axis] = std::max(std::max(low[axis] - p[axis], p[axis] - high[axis]), 0.0f);
    }
    return double{gap[0]} * gap[0] + double{gap[1]} * gap[1] + double{gap[2]} * gap[2];
}

// The square of the distance by which faces are compared, before its root (which the
// scan takes in double): differences in float, squares summed in double in x, y, z
// order.
[[gnu::always_inline]] inline double SquaredDistance(const Vector3& position,
                                                     const float centre[3]) {
    const float dx = position.x - centre[0];
    const float dy = position.y - centre[1];
    const float dz = position.z - centre[2];
    return double{dx} * dx + double{dy} * dy + double{dz} * dz;
}

}  // namespace

void NearestFaceIndex::Box::Include(const float point[3]) {
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = std::min(low[axis], point[axis]);
        high[axis] = std::max(high[axis], point[axis]);
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
//
// Faces are compared through the squares of their distances wherever that decides.
// `rootLimit` is the largest square whose root (as the scan takes it) is at most the best
// distance: the root is monotonic, so a larger square has a larger root and can neither
// win nor tie, and only the few squares at or below the limit have their root taken and
// compared exactly as the scan compares it.
struct NearestFaceIndex::Best {
    double distance = NoFaceDistance;
    double rootLimit = RootLimit(NoFaceDistance);
    std::uint32_t face = NoFace;  // NoFace: only a strictly nearer face may win

    // The largest double whose square root is at most `root`, a non-negative double that
    // is itself a square root (or the start distance): its square rounded is within an
    // ulp or two of the answer, so a few steps find it.
    static double RootLimit(double root) {
        constexpr double Up = std::numeric_limits<double>::infinity();
        double limit = root * root;
        while (std::sqrt(limit) > root) {
            limit = std::nextafter(limit, -Up);
        }
        while (std::sqrt(std::nextafter(limit, Up)) <= root) {
            limit = std::nextafter(limit, Up);
        }
        return limit;
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
        layout_ = Layout::Scan;
        return;
    }
    // For fewer searches, the faces as the model lists them make the tree when that
    // order keeps neighbours together, as a modeller's meshes mostly do: no copy, no sort.
    if (searches < SearchesWorthSorting && BuildOverListedFaces()) {
        layout_ = Layout::Listed;
        return;
    }
    nodes_.clear();
    // A centre that is not finite is never nearer than anything: it is left out.
    Box bounds;
    entries_.reserve(faces.size());
    for (std::uint32_t i = 0; i < faces.size(); ++i) {
        const Vector3& c = faces[i].centre;
        if (IsFinite(c)) {
            entries_.push_back({{c.x, c.y, c.z}, i});
            bounds.Include(entries_.back().centre);
        }
    }
    if (entries_.empty()) {
        return;
    }
    // Otherwise the centres in the order of a curve through the box that keeps
    // neighbours in space mostly neighbours in the list: one sort of small integer keys
    // instead of a partition per tree level. The order only shapes the tree; every
    // node's box is computed from the centres it holds, which is all the pruning relies
    // on.
    double scale[3];
    for (int axis = 0; axis < 3; ++axis) {
        const double extent = double{bounds.high[axis]} - double{bounds.low[axis]};
        scale[axis] = extent > 0.0 ? MortonCells / extent : 0.0;
    }
    std::vector<std::uint64_t> keys;
    keys.reserve(entries_.size());
    for (const Entry& entry : entries_) {
        const float* c = entry.centre;
        const std::uint32_t code = Spread[CellOf(c[0], bounds.low[0], scale[0])] << 2 |
                                   Spread[CellOf(c[1], bounds.low[1], scale[1])] << 1 |
                                   Spread[CellOf(c[2], bounds.low[2], scale[2])];
        keys.push_back(std::uint64_t{code} << 32 | entry.face);
    }
    SortByCode(keys);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const auto face = static_cast<std::uint32_t>(keys[i]);
        const Vector3& c = faces[face].centre;
        entries_[i] = {{c.x, c.y, c.z}, face};
    }
    nodes_.reserve(2 * (entries_.size() / (FacesPerLeaf / 2) + 1));
    root_ = Build(keys, 0, static_cast<std::uint32_t>(entries_.size()));
}

bool NearestFaceIndex::BuildOverListedFaces() {
    // One leaf per run of FacesPerLeaf faces, its box the exact bounds of their finite
    // centres (inside out when there are none: then nothing in it is ever near).
    const auto count = static_cast<std::uint32_t>(faces_.size());
    nodes_.reserve(2 * ((count + FacesPerLeaf - 1) / FacesPerLeaf));
    Box bounds;
    double leafExtents = 0.0;
    for (std::uint32_t begin = 0; begin < count; begin += FacesPerLeaf) {
        Node leaf{{}, begin, std::min(FacesPerLeaf, count - begin), 0, 0};
        for (std::uint32_t i = begin; i < begin + leaf.entryCount; ++i) {
            const Vector3& c = faces_[i].centre;
            if (IsFinite(c)) {
                const float centre[3] = {c.x, c.y, c.z};
                leaf.box.Include(centre);
            }
        }
        if (leaf.box.HoldsAny()) {
            leafExtents += leaf.box.ExtentSum();
            bounds.Include(leaf.box);
        }
        nodes_.push_back(leaf);
    }
    if (!bounds.HoldsAny()) {
        return false;  // no finite centre at all
    }
    // Scattered faces make leaves about as large as the whole model, which would prune
    // nothing: then the curve orders them after all.
    if (leafExtents > bounds.ExtentSum() * static_cast<double>(nodes_.size()) * LeafShareOfModel) {
        return false;
    }
    // Neighbours in the list paired level by level up to one root; a level's odd last
    // node moves up as it is.
    std::vector<std::uint32_t> level(nodes_.size());
    for (std::uint32_t i = 0; i < level.size(); ++i) {
        level[i] = i;
    }
    std::vector<std::uint32_t> next;
    while (level.size() > 1) {
        next.clear();
        for (std::size_t i = 0; i + 1 < level.size(); i += 2) {
            next.push_back(Join(level[i], level[i + 1]));
        }
        if (level.size() % 2 != 0) {
            next.push_back(level.back());
        }
        level.swap(next);
    }
    root_ = level.front();
    return true;
}

std::uint32_t NearestFaceIndex::Join(std::uint32_t left, std::uint32_t right) {
    Node node{nodes_[left].box, 0, 0, left, right};
    node.box.Include(nodes_[right].box);
    nodes_.push_back(node);
    return static_cast<std::uint32_t>(nodes_.size() - 1);
}

std::uint32_t NearestFaceIndex::Build(const std::vector<std::uint64_t>& keys, std::uint32_t begin,
                                      std::uint32_t end) {
    if (end - begin <= FacesPerLeaf) {
        Node leaf{{}, begin, end - begin, 0, 0};
        for (std::uint32_t i = begin; i < end; ++i) {
            leaf.box.Include(entries_[i].centre);
        }
        nodes_.push_back(leaf);
        return static_cast<std::uint32_t>(nodes_.size() - 1);
    }
    // Split where the highest bit in which the range's codes differ turns from 0 to 1:
    // the halves of the largest cell of the curve that holds the whole range. A range of
    // one code (duplicates, or centres closer than a cell) is halved.
    const std::uint32_t firstCode = static_cast<std::uint32_t>(keys[begin] >> 32);
    const std::uint32_t lastCode = static_cast<std::uint32_t>(keys[end - 1] >> 32);
    std::uint32_t middle = begin + (end - begin) / 2;
    if (firstCode != lastCode) {
        const std::uint32_t highBit = std::uint32_t{1}
                                      << (std::bit_width(firstCode ^ lastCode) - 1);
        const std::uint32_t prefix = lastCode & ~(highBit - 1);  // the upper half's first code
        middle =
            static_cast<std::uint32_t>(std::lower_bound(keys.begin() + begin, keys.begin() + end,
                                                        std::uint64_t{prefix} << 32) -
                                       keys.begin());
    }
    const std::uint32_t left = Build(keys, begin, middle);
    const std::uint32_t right = Build(keys, middle, end);
    return Join(left, right);
}

void NearestFaceIndex::Search(std::uint32_t index, const Vector3& position, Best& best) const {
    const Node& node = nodes_[index];
    if (node.entryCount > 0) {
        const std::uint32_t end = node.firstEntry + node.entryCount;
        if (layout_ == Layout::Listed) {
            // A centre that is not finite gives no number Offer takes.
            for (std::uint32_t i = node.firstEntry; i < end; ++i) {
                const Vector3& c = faces_[i].centre;
                const float centre[3] = {c.x, c.y, c.z};
                best.Offer(SquaredDistance(position, centre), i);
            }
            return;
        }
        for (std::uint32_t i = node.firstEntry; i < end; ++i) {
            const Entry& entry = entries_[i];
            best.Offer(SquaredDistance(position, entry.centre), entry.face);
        }
        return;
    }
    // The nearer child first, so that the farther one is more often skipped.
    std::uint32_t children[2] = {node.left, node.right};
    double bounds[2];
    for (int c = 0; c < 2; ++c) {
        const Box& box = nodes_[children[c]].box;
        bounds[c] = BoxLowerBoundSquared(position, box.low, box.high);
    }
    if (bounds[1] < bounds[0]) {
        std::swap(children[0], children[1]);
        std::swap(bounds[0], bounds[1]);
    }
    for (int c = 0; c < 2; ++c) {
        if (best.MayBeBeatenWithin(bounds[c])) {
            Search(children[c], position, best);
        }
    }
}

const CandidateFace* NearestFaceIndex::FindNearest(const Vector3& position,
                                                   const CandidateFace* hint) const {
    if (layout_ == Layout::Scan) {
        return ScanForNearestCandidate(faces_, position);
    }
    // A position that is not finite is at no finite distance from any face.
    if (nodes_.empty() || !IsFinite(position)) {
        return nullptr;
    }
    Best best;
    // The hint is offered like any face, so it wins only where the scan would pick it.
    if (hint != nullptr && hint >= faces_.data() && hint < faces_.data() + faces_.size()) {
        const float centre[3] = {hint->centre.x, hint->centre.y, hint->centre.z};
        best.Offer(SquaredDistance(position, centre),
                   static_cast<std::uint32_t>(hint - faces_.data()));
    }
    const Box& root = nodes_[root_].box;
    if (best.MayBeBeatenWithin(BoxLowerBoundSquared(position, root.low, root.high))) {
        Search(root_, position, best);
    }
    return best.face == NoFace ? nullptr : &faces_[best.face];
}

}  // namespace cmp
