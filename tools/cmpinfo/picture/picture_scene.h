// What the picture of a model shows, in the modeller's axes: the triangles of its meshes
// and its hardpoints, with whatever cannot be placed (a coordinate that is not a finite
// number) left out and counted. Pure data and arithmetic; the drawing is elsewhere.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/cmpinfo/read/exported_model.h"

namespace cmp {

using Point3 = std::array<double, 3>;

// A stored position or direction in the modeller's axes. The file holds them with Y and
// Z negated (a half turn about X), which is undone here; the scale stays as stored, so
// that sizes read in the file's units.
Point3 ToModellerAxes(const std::array<float, 3>& stored);

// A triangle by its corners' places in PictureScene::points, which triangles share, so
// that a model of many triangles over few vertices takes little more than its indices.
struct SceneTriangle {
    std::array<std::uint32_t, 3> corners{};
    std::uint32_t material = 0;  // the material's place among the model's distinct ones
};

struct SceneHardpoint {
    std::string name;  // as stored; the drawing makes it printable
    bool revolute = false;
    Point3 position;
    // The stored orientation's three rows as unit directions; a row that is zero or not
    // finite has no direction and is not drawn.
    std::array<Point3, 3> rows;
    std::array<bool, 3> rowDrawn{};
};

struct SceneBox {
    Point3 min{};
    Point3 max{};
    bool empty = true;

    void Add(const Point3& point);
    Point3 GetSize() const;
    Point3 GetCentre() const;
};

struct PictureScene {
    std::vector<Point3> points;  // the triangles' corners, in the modeller's axes
    std::vector<SceneTriangle> triangles;
    std::vector<SceneHardpoint> hardpoints;
    bool hasMeshData = false;  // the model has any mesh with triangles
    SceneBox meshBox;          // the triangles drawn
    SceneBox wholeBox;         // the triangles and the hardpoints drawn
    // Left out: a corner not a finite number or an index past its mesh's vertices (the
    // checks refuse the latter; the picture does not rely on them), and zero-area
    // triangles, which cover nothing. Hardpoints whose position is not finite.
    std::size_t trianglesNotFinite = 0;
    std::size_t hardpointsNotFinite = 0;

    std::array<Point3, 3> CornersOf(const SceneTriangle& triangle) const {
        return {points[triangle.corners[0]], points[triangle.corners[1]],
                points[triangle.corners[2]]};
    }
    // The unit normal from the corners in their stored order; zero for a piece too small
    // to measure (every triangle as stored has one).
    Point3 NormalOf(const SceneTriangle& triangle) const;
};

PictureScene BuildPictureScene(const StoredModel& model);

// The model's size as the picture states it, three numbers in the file's units with as
// many decimals as show the largest to three digits ("1.62 x 0.41 x 2.10"); from 100,000
// up and below 0.001, to three digits each with an exponent ("1.5e-07 x 2e-08 x 0"), so
// that the text stays short and no size shows as zeros.
std::string FormatSceneSize(const Point3& size);

// One line of a caption in the forms it may take, longest first: the drawing shows the
// first that fits its panel's width, else the last made smaller until it fits.
using CaptionLine = std::vector<std::string>;

// The caption under each view, line by line, the last at the bottom: when names of
// hardpoints were left out (`hiddenNames`), how many; then the model's size
// ("1.62 x 0.41 x 2.10  (width x height x length)"), or that it has no mesh data.
std::vector<CaptionLine> GetPanelCaption(const PictureScene& scene, std::size_t hiddenNames);

}  // namespace cmp
