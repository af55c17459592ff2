#include "tools/cmpinfo/picture/picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace cmp {

namespace {

Point3 Minus(const Point3& a, const Point3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

Point3 Cross(const Point3& a, const Point3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

bool IsFinite(const Point3& p) {
    return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
}

// `v` scaled to unit length; false when it has no direction (zero, or too large or not
// finite to measure).
bool Normalise(Point3& v) {
    const double length = std::hypot(v[0], v[1], v[2]);
    if (!(length > 0) || !std::isfinite(length)) {
        return false;
    }
    for (double& c : v) {
        c /= length;
    }
    return true;
}

// Painter's order sorts whole triangles by their middles, which puts a long triangle
// that passes through another (a hull through a wing) wholly before or behind it. So
// long triangles are cut in four at their edges' midpoints until no edge is longer than
// a twentieth of the model's size, as far as a budget of triangles allows, which keeps
// the drawing of any file quick.
constexpr double LongestEdgeOfSize = 1.0 / 20;
constexpr std::size_t TriangleBudget = 20000;

double LongestEdge(const std::array<Point3, 3>& corners) {
    double longest = 0;
    for (int e = 0; e < 3; ++e) {
        const Point3 edge = Minus(corners[(e + 1) % 3], corners[e]);
        longest = std::max(longest, std::hypot(edge[0], edge[1], edge[2]));
    }
    return longest;
}

void SplitLongTriangles(PictureScene& scene, double longestAllowed) {
    std::vector<SceneTriangle>& triangles = scene.triangles;
    for (std::size_t t = 0; t < triangles.size() && triangles.size() + 3 <= TriangleBudget;) {
        if (!(LongestEdge(scene.CornersOf(triangles[t])) > longestAllowed)) {
            ++t;
            continue;
        }
        const SceneTriangle whole = triangles[t];
        const auto [a, b, c] = whole.corners;
        const auto middle = [&](std::uint32_t p, std::uint32_t q) {
            const Point3& from = scene.points[p];
            const Point3& to = scene.points[q];
            scene.points.push_back(
                {(from[0] + to[0]) / 2, (from[1] + to[1]) / 2, (from[2] + to[2]) / 2});
            return static_cast<std::uint32_t>(scene.points.size() - 1);
        };
        const std::uint32_t ab = middle(a, b);
        const std::uint32_t bc = middle(b, c);
        const std::uint32_t ca = middle(c, a);
        SceneTriangle part = whole;
        for (const std::array<std::uint32_t, 3>& corners :
             {std::array<std::uint32_t, 3>{a, ab, ca}, {ab, b, bc}, {ca, bc, c}}) {
            part.corners = corners;
            triangles.push_back(part);
        }
        triangles[t].corners = {ab, bc, ca};  // looked at again, as are the three added
    }
}

// The triangles of one mesh, their corners as points of their own.
void AddMeshTriangles(const StoredMesh& mesh, std::uint32_t material, PictureScene& scene) {
    const auto first = static_cast<std::uint32_t>(scene.points.size());
    for (const StoredVertex& vertex : mesh.vertices) {
        scene.points.push_back(ToModellerAxes(vertex.position));
    }
    for (std::size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
        SceneTriangle triangle;
        triangle.material = material;
        bool placed = true;
        for (std::size_t corner = 0; corner < 3 && placed; ++corner) {
            const std::uint16_t index = mesh.indices[t + corner];
            placed = index < mesh.vertices.size() && IsFinite(scene.points[first + index]);
            triangle.corners[corner] = first + index;
        }
        if (!placed) {
            ++scene.trianglesNotFinite;
            continue;
        }
        const std::array<Point3, 3> corners = scene.CornersOf(triangle);
        Point3 normal = Cross(Minus(corners[1], corners[0]), Minus(corners[2], corners[0]));
        if (!Normalise(normal)) {
            continue;
        }
        for (const Point3& corner : corners) {
            scene.meshBox.Add(corner);
            scene.wholeBox.Add(corner);
        }
        scene.triangles.push_back(triangle);
    }
}

}  // namespace

Point3 ToModellerAxes(const std::array<float, 3>& stored) {
    return {double{stored[0]}, -double{stored[1]}, -double{stored[2]}};
}

Point3 PictureScene::NormalOf(const SceneTriangle& triangle) const {
    const auto [a, b, c] = CornersOf(triangle);
    Point3 normal = Cross(Minus(b, a), Minus(c, a));
    return Normalise(normal) ? normal : Point3{};
}

void SceneBox::Add(const Point3& point) {
    for (int axis = 0; axis < 3; ++axis) {
        min[axis] = empty ? point[axis] : std::min(min[axis], point[axis]);
        max[axis] = empty ? point[axis] : std::max(max[axis], point[axis]);
    }
    empty = false;
}

Point3 SceneBox::GetSize() const {
    return Minus(max, min);
}

Point3 SceneBox::GetCentre() const {
    return {(min[0] + max[0]) / 2, (min[1] + max[1]) / 2, (min[2] + max[2]) / 2};
}

PictureScene BuildPictureScene(const StoredModel& model) {
    PictureScene scene;
    std::map<std::uint32_t, std::size_t> materials;  // identifier -> order of first use
    for (const StoredMesh& mesh : model.meshes) {
        if (mesh.indices.size() < 3) {
            continue;
        }
        scene.hasMeshData = true;
        const auto material = static_cast<std::uint32_t>(
            materials.emplace(mesh.material, materials.size()).first->second);
        AddMeshTriangles(mesh, material, scene);
    }

    for (const StoredHardpoint& stored : model.hardpoints) {
        SceneHardpoint hardpoint;
        hardpoint.name = stored.name;
        hardpoint.revolute = stored.kind == HardpointKind::Revolute;
        hardpoint.position = ToModellerAxes(stored.position);
        if (!IsFinite(hardpoint.position)) {
            ++scene.hardpointsNotFinite;
            continue;
        }
        for (std::size_t row = 0; row < 3; ++row) {
            hardpoint.rows[row] =
                ToModellerAxes({stored.orientation[3 * row], stored.orientation[3 * row + 1],
                                stored.orientation[3 * row + 2]});
            hardpoint.rowDrawn[row] =
                IsFinite(hardpoint.rows[row]) && Normalise(hardpoint.rows[row]);
        }
        scene.wholeBox.Add(hardpoint.position);
        scene.hardpoints.push_back(std::move(hardpoint));
    }
    if (!scene.meshBox.empty) {
        const Point3 size = scene.meshBox.GetSize();
        SplitLongTriangles(scene, LongestEdgeOfSize * std::hypot(size[0], size[1], size[2]));
    }
    return scene;
}

std::string FormatSceneSize(const Point3& size) {
    const double largest = std::max({size[0], size[1], size[2]});
    char text[400];
    if (largest >= 1e5 || (largest > 0 && largest < 1e-3)) {
        std::snprintf(text, sizeof text, "%.3g x %.3g x %.3g", size[0], size[1], size[2]);
        return text;
    }
    int decimals = 2;
    if (largest > 0 && std::isfinite(largest)) {
        decimals = std::clamp(2 - static_cast<int>(std::floor(std::log10(largest))), 0, 9);
    }
    std::snprintf(text, sizeof text, "%.*f x %.*f x %.*f", decimals, size[0], decimals, size[1],
                  decimals, size[2]);
    return text;
}

std::vector<CaptionLine> GetPanelCaption(const PictureScene& scene, std::size_t hiddenNames) {
    std::vector<CaptionLine> lines;
    if (hiddenNames > 0) {
        const std::string hidden =
            hiddenNames == 1 ? "1 name hidden" : std::to_string(hiddenNames) + " names hidden";
        lines.push_back({std::to_string(hiddenNames) + " of " +
                             std::to_string(scene.hardpoints.size()) +
                             " names hidden where they would overlap",
                         hidden});
    }
    if (scene.hasMeshData) {
        const std::string size = FormatSceneSize(scene.meshBox.GetSize());
        lines.push_back({size + "  (width x height x length)", size});
    } else {
        lines.push_back({scene.hardpoints.empty() ? "No mesh data and no hardpoints"
                                                  : "No mesh data: the hardpoints alone"});
    }
    return lines;
}

}  // namespace cmp
