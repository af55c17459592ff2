// The index, and the scan used for few searches, must pick exactly the face that scanning every
// candidate in order picks: random models by the thousand, and the cases that would catch a
// careless pruning.
#include "tree/tree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "tests/tree/reference_nearest_face.h"

namespace cmp {
namespace {

std::ptrdiff_t IndexOf(const std::vector<CandidateFace>& faces, const CandidateFace* face) {
    return face == nullptr ? -1 : face - faces.data();
}

// Every query against the scan, without a hint and with each face in turn as the hint;
// a disagreement names the query and the hint.
void ExpectSameAsScan(const std::vector<CandidateFace>& faces, const std::vector<Vector3>& queries,
                      const char* what) {
    // Built for few searches (over the listed faces when they lie in order) and for many
    // (over sorted centres).
    const NearestFaceIndex forFew(faces, NearestFaceIndex::SearchesWorthATree);
    const NearestFaceIndex forMany(faces);
    for (const Vector3& q : queries) {
        const std::ptrdiff_t expected = IndexOf(faces, ScanForNearestFace(faces, q));
        // The scan used for few searches, too.
        ASSERT_EQ(IndexOf(faces, ScanForNearestCandidate(faces, q)), expected)
            << what << ": scan at query (" << q.x << ", " << q.y << ", " << q.z << ")";
        const std::size_t hints = std::min<std::size_t>(faces.size(), 400);
        for (const NearestFaceIndex* index : {&forFew, &forMany}) {
            for (std::size_t hint = 0; hint <= hints; ++hint) {
                const CandidateFace* given = hint == 0 ? nullptr : &faces[hint - 1];
                ASSERT_EQ(IndexOf(faces, index->FindNearest(q, given)), expected)
                    << what << ": query (" << q.x << ", " << q.y << ", " << q.z << ") of "
                    << faces.size() << " faces, hint " << IndexOf(faces, given)
                    << (index == &forFew ? ", built for few searches" : "");
            }
        }
    }
}

CandidateFace Face(float x, float y, float z) {
    return {{x, y, z}, {0, 1, 0}};
}

TEST(NearestFaceIndex, AgreesWithTheScanOnRandomModels) {
    std::mt19937 random(20261207);
    for (int model = 0; model < 300; ++model) {
        // Clustered, spread and coarse (many equal coordinates) models of any size.
        const float extent = std::ldexp(1.0f, static_cast<int>(random() % 40) - 10);
        const bool coarse = model % 3 == 0;
        std::uniform_real_distribution<float> coordinate(-extent, extent);
        const auto next = [&] {
            const float value = coordinate(random);
            return coarse ? std::round(value * 4.0f / extent) * extent / 4.0f : value;
        };
        std::vector<CandidateFace> faces(random() % 400);
        for (CandidateFace& face : faces) {
            face = Face(next(), next(), next());
        }
        // Some duplicates of earlier faces: the earlier copy must win.
        for (std::size_t i = 0; i < faces.size() / 10; ++i) {
            faces.push_back(faces[random() % faces.size()]);
        }
        std::vector<Vector3> queries;
        for (int q = 0; q < 40; ++q) {
            queries.push_back({next(), next(), next()});
        }
        for (std::size_t q = 0; q < std::min<std::size_t>(faces.size(), 10); ++q) {
            queries.push_back(faces[q].centre);  // on a centre: distance zero
        }
        ExpectSameAsScan(faces, queries, coarse ? "coarse model" : "random model");
    }
}

// Faces listed row by row over a wavy sheet, as a modeller's grid would list them: the
// order that an index for few searches builds on as it is.
TEST(NearestFaceIndex, AgreesWithTheScanOnFacesListedInOrder) {
    std::mt19937 random(20261209);
    for (const int side : {40, 120}) {
        std::vector<CandidateFace> faces;
        for (int row = 0; row < side; ++row) {
            for (int column = 0; column < side; ++column) {
                const float x = static_cast<float>(column) * 0.1f;
                const float z = static_cast<float>(row) * 0.1f;
                faces.push_back(Face(x, std::sin(x) * std::cos(z), z));
            }
        }
        faces.push_back(faces[side * side / 2]);  // a duplicate: the earlier copy wins
        std::uniform_real_distribution<float> across(-1.0f, static_cast<float>(side) * 0.1f + 1);
        std::uniform_real_distribution<float> height(-2.0f, 2.0f);
        std::vector<Vector3> queries;
        for (int q = 0; q < 30; ++q) {
            queries.push_back({across(random), height(random), across(random)});
        }
        queries.push_back(faces[side * side / 2].centre);
        ExpectSameAsScan(faces, queries, "faces listed in order");
    }
}

TEST(NearestFaceIndex, AgreesWithTheScanOnAdversarialModels) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* what;
        std::vector<CandidateFace> faces;
        std::vector<Vector3> queries;
    };
    std::vector<Case> cases;

    // A hardpoint at the centre of a sphere of faces: every one at exactly distance 5
    // (3-4-5 triples), listed so that the earliest is neither first nor last in space.
    Case sphere{"sphere of equal distances", {}, {{0, 0, 0}, {0.5f, 0, 0}, {1e-30f, 0, 0}}};
    for (const auto& [a, b] : {std::pair{3.0f, 4.0f}, std::pair{4.0f, 3.0f}, std::pair{0.0f, 5.0f},
                               std::pair{5.0f, 0.0f}}) {
        for (const float sa : {1.0f, -1.0f}) {
            for (const float sb : {-1.0f, 1.0f}) {
                sphere.faces.push_back(Face(sa * a, sb * b, 0));
                sphere.faces.push_back(Face(0, sa * a, sb * b));
                sphere.faces.push_back(Face(sb * b, 0, sa * a));
            }
        }
    }
    cases.push_back(sphere);

    // A ring whose distances differ in exact terms but round to the same double.
    Case ring{"ring of distances equal after rounding", {}, {{0, 0, 0}}};
    for (int i = 0; i < 64; ++i) {
        const float angle = static_cast<float>(i) * 0.0981747704f;
        ring.faces.push_back(Face(1000.0f * std::cos(angle), 1000.0f * std::sin(angle), 0));
    }
    cases.push_back(ring);

    Case duplicates{"one centre many times", {}, {{1, 1, 1}, {0, 0, 0}, {-7, 2, 9}}};
    for (int i = 0; i < 50; ++i) {
        duplicates.faces.push_back(Face(1, 2, 3));
    }
    cases.push_back(duplicates);

    cases.push_back({"far beyond 999999",
                     {Face(2e6f, 0, 0), Face(0, -3e6f, 0), Face(1e7f, 1e7f, 1e7f)},
                     {{0, 0, 0}, {1e6f, 0, 0}}});
    cases.push_back({"exactly 999999 away is not near enough",
                     {Face(999999.0f, 0, 0), Face(0, 999998.9375f, 0)},
                     {{0, 0, 0}}});
    // No face nearer to take over: one exactly 999999 away must not win by being first.
    cases.push_back({"only faces exactly 999999 away",
                     {Face(999999.0f, 0, 0), Face(0, 0, -999999.0f), Face(0, 1e6f, 0)},
                     {{0, 0, 0}, {0, 1, 0}}});
    cases.push_back(
        {"huge coordinates whose differences overflow",
         {Face(3e38f, 0, 0), Face(-3e38f, 0, 0), Face(3e38f, 3e38f, 3e38f), Face(1, 1, 1)},
         {{-3e38f, 0, 0}, {3e38f, 1, 0}, {0, 0, 0}, {1e30f, 1e30f, 0}}});
    cases.push_back({"tiny and subnormal coordinates",
                     {Face(1e-40f, 0, 0), Face(-1e-40f, 0, 0), Face(0, 1e-45f, 0), Face(0, 0, 0)},
                     {{0, 0, 0}, {1e-45f, 0, 0}, {-1e-38f, 1e-38f, 0}}});
    cases.push_back({"centres that are not finite",
                     {Face(inf, 0, 0), Face(nan, 0, 0), Face(0, 0, -inf), Face(5, 5, 5)},
                     {{0, 0, 0}, {inf, 0, 0}, {nan, nan, nan}}});
    cases.push_back({"no candidate at all (every face degenerate)", {}, {{0, 0, 0}, {1, 2, 3}}});

    // More copies of one centre than a leaf holds: runs of one curve code are halved,
    // level after level, and only the earliest copy may win.
    Case copies{"a thousand copies of one centre", {Face(9, 9, 9)}, {{1, 2, 3}, {9, 9, 9}}};
    for (int i = 0; i < 1000; ++i) {
        copies.faces.push_back(Face(1, 2, 3.5f));
    }
    copies.faces.push_back(Face(1, 2, 2.5f));  // as near as the copies, but later
    cases.push_back(copies);

    // A grid listed row by row with centres that are not finite in every few places:
    // leaves and lanes that hold them, and leaves that hold nothing else.
    Case holes{"a grid with centres that are not finite", {}, {{2, 1, 2}, {0, -1, 5.5f}}};
    for (int i = 0; i < 60 * 60; ++i) {
        const float x = static_cast<float>(i % 60) * 0.1f;
        const float z = static_cast<float>(i / 60) * 0.1f;
        const bool hole = i % 7 == 3 || (i >= 320 && i < 352);
        holes.faces.push_back(hole ? Face(i % 2 ? nan : inf, 0, z) : Face(x, std::sin(x), z));
    }
    cases.push_back(holes);
    for (const Case& c : cases) {
        ExpectSameAsScan(c.faces, c.queries, c.what);
    }
}

TEST(NearestFaceIndex, OfEqualDistancesTheEarliestFaceWins) {
    const std::vector<CandidateFace> faces = {Face(0, 0, 9), Face(0, 3, 0), Face(-3, 0, 0),
                                              Face(3, 0, 0), Face(0, -3, 0)};
    const NearestFaceIndex index(faces);
    EXPECT_EQ(index.FindNearest({0, 0, 0}), &faces[1]);
    EXPECT_EQ(index.FindNearest({1000003, 0, 0}), nullptr);  // 999999.5 and more away
}

}  // namespace
}  // namespace cmp
