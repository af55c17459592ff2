// The picture of a model: where the views put a point, and what the drawing of real
// exported files shows at the places the views compute.
#include "tools/cmpinfo/picture/picture.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "tests/tools/picture_pixels.h"
#include "tools/cmpinfo/read/read.h"

namespace cmp {

namespace {

const char* const GoldenFiles[] = {
    "tests/e2e/golden/kestrel.cmp",
    "tests/models/golden/awkward_floats.cmp",
    "tests/models/golden/cube.cmp",
    "tests/models/golden/degenerate.cmp",
    "tests/models/golden/hardpoints.cmp",
    "tests/models/golden/long_names.cmp",
    "tests/models/golden/many_meshes.cmp",
    "tests/models/golden/noise.cmp",
    "tests/models/golden/only_hardpoints.cmp",
    "tests/models/golden/orientations.cmp",
    "tests/models/golden/shared_materials.cmp",
    "tests/models/golden/triangle.cmp",
};

StoredModel LoadGolden(const std::string& file) {
    const Result<StoredModel> model = LoadCheckedModel(std::string(CMP_SOURCE_DIR) + "/" + file);
    EXPECT_TRUE(model) << model.message();
    return model ? model.value() : StoredModel{};
}

double Cross2(const ViewPoint& o, const ViewPoint& a, const ViewPoint& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

double DistanceToSegment(double x, double y, const ViewPoint& a, const ViewPoint& b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double length = dx * dx + dy * dy;
    const double t =
        length > 0 ? std::clamp(((x - a.x) * dx + (y - a.y) * dy) / length, 0.0, 1.0) : 0.0;
    return std::hypot(x - (a.x + t * dx), y - (a.y + t * dy));
}

// Whether (x, y) is within `margin` pixels of the projected triangle.
bool NearTriangle(double x, double y, const std::array<ViewPoint, 3>& c, double margin) {
    if (x < std::min({c[0].x, c[1].x, c[2].x}) - margin ||
        x > std::max({c[0].x, c[1].x, c[2].x}) + margin ||
        y < std::min({c[0].y, c[1].y, c[2].y}) - margin ||
        y > std::max({c[0].y, c[1].y, c[2].y}) + margin) {
        return false;
    }
    const ViewPoint p{x, y, 0};
    const double d0 = Cross2(c[0], c[1], p);
    const double d1 = Cross2(c[1], c[2], p);
    const double d2 = Cross2(c[2], c[0], p);
    // A triangle seen edge on, or shrunk to a point, has no inside: only its edges count.
    const bool hasInside = std::abs(Cross2(c[0], c[1], c[2])) > 1e-9;
    if (hasInside && ((d0 >= 0 && d1 >= 0 && d2 >= 0) || (d0 <= 0 && d1 <= 0 && d2 <= 0))) {
        return true;
    }
    for (int e = 0; e < 3; ++e) {
        if (DistanceToSegment(x, y, c[e], c[(e + 1) % 3]) <= margin) {
            return true;
        }
    }
    return false;
}

// A triangle by its corners, in the modeller's axes.
struct Corners {
    std::array<Point3, 3> corners;
};

std::array<ViewPoint, 3> Projected(const PanelView& view, const Corners& triangle) {
    return {view.Project(triangle.corners[0]), view.Project(triangle.corners[1]),
            view.Project(triangle.corners[2])};
}

Point3 Centroid(const Corners& t) {
    Point3 c{};
    for (int axis = 0; axis < 3; ++axis) {
        c[axis] = (t.corners[0][axis] + t.corners[1][axis] + t.corners[2][axis]) / 3;
    }
    return c;
}

double Dot(const Point3& a, const Point3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// A model of the eight corners of a box from -1 to 1 in the modeller's axes, stored as
// the file stores them (Y and Z negated), as two triangles spanning it.
StoredModel BoxModel() {
    StoredMesh mesh;
    for (int corner = 0; corner < 8; ++corner) {
        const float x = corner & 1 ? 1.0f : -1.0f;
        const float y = corner & 2 ? 1.0f : -1.0f;
        const float z = corner & 4 ? 1.0f : -1.0f;
        mesh.vertices.push_back(StoredVertex{{x, -y, -z}, {}, {}});
    }
    mesh.indices = {0, 1, 7, 7, 6, 0};
    StoredModel model;
    model.meshes.push_back(mesh);
    return model;
}

TEST(PictureScene, UndoesTheStoredHalfTurnAndLeavesOutWhatCannotBePlaced) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    StoredMesh mesh;
    mesh.vertices = {{{1, 2, 3}, {}, {}},
                     {{4, 2, 3}, {}, {}},
                     {{1, 6, 3}, {}, {}},
                     {{nan, 0, 0}, {}, {}},
                     {{0, inf, 0}, {}, {}}};
    // One whole triangle; one with a NaN corner, one with an infinite one, one naming a
    // vertex the mesh lacks, one of zero area.
    mesh.indices = {0, 1, 2, 0, 1, 3, 4, 1, 2, 0, 1, 9, 0, 0, 1};
    StoredHardpoint fine{"Gun", HardpointKind::Revolute, {0, 0, 2, 0, 0, 0, nan, 1, 1}, {1, 2, 3}};
    StoredHardpoint lost{"Lost", HardpointKind::Fixed};
    lost.position = {0, nan, 0};
    StoredModel model;
    model.meshes = {mesh};
    model.hardpoints = {fine, lost};
    const PictureScene scene = BuildPictureScene(model);

    EXPECT_EQ(scene.trianglesNotFinite, 3u);
    EXPECT_EQ(scene.hardpointsNotFinite, 1u);
    EXPECT_TRUE(scene.hasMeshData);
    // The one whole triangle, (1, -2, -3), (4, -2, -3), (1, -6, -3) in the modeller's
    // axes, in pieces for the painter's sort (below): all in its plane, facing as it does.
    // (3, 0, 0) x (0, -4, 0) is -Z; the half turn keeps the winding's sense.
    ASSERT_FALSE(scene.triangles.empty());
    for (const SceneTriangle& t : scene.triangles) {
        EXPECT_EQ(scene.NormalOf(t), (Point3{0, 0, -1}));
        for (const Point3& corner : scene.CornersOf(t)) {
            EXPECT_EQ(corner[2], -3);
        }
    }

    ASSERT_EQ(scene.hardpoints.size(), 1u);
    const SceneHardpoint& h = scene.hardpoints[0];
    EXPECT_TRUE(h.revolute);
    EXPECT_EQ(h.position, (Point3{1, -2, -3}));
    EXPECT_EQ(h.rowDrawn, (std::array<bool, 3>{true, false, false}));
    EXPECT_EQ(h.rows[0], (Point3{0, 0, -1}));  // scaled to unit length, Z negated

    EXPECT_EQ(scene.meshBox.min, (Point3{1, -6, -3}));
    EXPECT_EQ(scene.meshBox.max, (Point3{4, -2, -3}));
}

// The model's triangles as stored, whole, in the modeller's axes: what the picture must
// show, however the scene cuts them up.
std::vector<Corners> StoredTriangles(const StoredModel& model) {
    std::vector<Corners> triangles;
    for (const StoredMesh& mesh : model.meshes) {
        for (std::size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
            Corners t;
            for (int corner = 0; corner < 3; ++corner) {
                t.corners[corner] =
                    ToModellerAxes(mesh.vertices[mesh.indices[i + corner]].position);
            }
            triangles.push_back(t);
        }
    }
    return triangles;
}

// The largest difference of one colour channel between two pixels.
int ChannelDistance(std::uint32_t a, std::uint32_t b) {
    int largest = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        largest = std::max(largest, std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                             static_cast<int>((b >> shift) & 0xFF)));
    }
    return largest;
}

double Area(const Corners& t) {
    const Point3& a = t.corners[0];
    const Point3 u = {t.corners[1][0] - a[0], t.corners[1][1] - a[1], t.corners[1][2] - a[2]};
    const Point3 v = {t.corners[2][0] - a[0], t.corners[2][1] - a[1], t.corners[2][2] - a[2]};
    return std::hypot(u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                      u[0] * v[1] - u[1] * v[0]) /
           2;
}

double LongestEdge(const Corners& t) {
    double longest = 0;
    for (int e = 0; e < 3; ++e) {
        const Point3& p = t.corners[e];
        const Point3& q = t.corners[(e + 1) % 3];
        longest = std::max(longest, std::hypot(p[0] - q[0], p[1] - q[1], p[2] - q[2]));
    }
    return longest;
}

// Long triangles are cut into pieces no longer than a twentieth of the model, covering
// what they covered; a model of many long triangles stops at the budget.
TEST(PictureScene, LongTrianglesAreCutForThePaintersSort) {
    struct Case {
        const char* file;
        std::size_t atMost;  // triangles
        bool cutAll;
    };
    const Case cases[] = {
        {"tests/e2e/golden/kestrel.cmp", 20000, true},
        {"tests/models/golden/cube.cmp", 20000, true},
        {"tests/models/golden/noise.cmp", 20000, false},
    };
    for (const Case& c : cases) {
        const StoredModel model = LoadGolden(c.file);
        const PictureScene scene = BuildPictureScene(model);
        EXPECT_LE(scene.triangles.size(), c.atMost) << c.file;
        const Point3 size = scene.meshBox.GetSize();
        const double longestAllowed = std::hypot(size[0], size[1], size[2]) / 20;
        double area = 0;
        bool cutAll = true;
        for (const SceneTriangle& t : scene.triangles) {
            const Corners corners{scene.CornersOf(t)};
            area += Area(corners);
            cutAll = cutAll && LongestEdge(corners) <= longestAllowed * (1 + 1e-9);
        }
        EXPECT_EQ(cutAll, c.cutAll) << c.file;
        // The same area as the stored triangles, in the modeller's axes.
        double storedArea = 0;
        for (const Corners& t : StoredTriangles(model)) {
            storedArea += Area(t);
        }
        EXPECT_NEAR(area, storedArea, storedArea * 1e-9) << c.file;
    }
}

TEST(PictureScene, SizeTextShowsTheLargestToThreeDigits) {
    struct Case {
        Point3 size;
        const char* text;
    };
    const Case cases[] = {
        {{1.62, 0.41, 2.1}, "1.62 x 0.41 x 2.10"},
        {{0.0217, 0.01, 0.0005}, "0.0217 x 0.0100 x 0.0005"},
        {{123.4, 5, 0}, "123 x 5 x 0"},
        {{99999, 1, 0}, "99999 x 1 x 0"},
        {{1.0869e35, 182361, 0}, "1.09e+35 x 1.82e+05 x 0"},
        {{0, 0, 0}, "0.00 x 0.00 x 0.00"},
        // Below 0.001 an exponent, where decimals would show zeros and run long.
        {{1e-6, 1e-6, 0}, "1e-06 x 1e-06 x 0"},
        {{0.000999, 0.0005, 2e-30}, "0.000999 x 0.0005 x 2e-30"},
        {{0.001, 0.0005, 0}, "0.00100 x 0.00050 x 0.00000"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatSceneSize(c.size), c.text);
    }
}

// Which way the modeller's axes go in each view: Y up, the nose along -Z.
TEST(PictureViews, EachViewLooksFromWhereItsNameSays) {
    const PictureScene scene = BuildPictureScene(BoxModel());
    const PictureLayout layout = LayOutPicture(scene, 1600, 1200);
    struct Case {
        ViewName view;
        Point3 direction;
        int right;  // +1: the direction goes right on the picture, -1 left, 0 neither
        int up;
        int nearer;  // +1: toward the viewer
    };
    const Case cases[] = {
        {ViewName::Front, {0, 1, 0}, 0, 1, 0},
        {ViewName::Front, {1, 0, 0}, -1, 0, 0},
        {ViewName::Front, {0, 0, -1}, 0, 0, 1},
        {ViewName::Side, {0, 0, -1}, 1, 0, 0},
        {ViewName::Side, {0, 1, 0}, 0, 1, 0},
        {ViewName::Side, {1, 0, 0}, 0, 0, 1},
        {ViewName::Top, {0, 0, -1}, 0, 1, 0},
        {ViewName::Top, {1, 0, 0}, 1, 0, 0},
        {ViewName::Top, {0, 1, 0}, 0, 0, 1},
        // Ahead, to the right and above: the nose comes toward the viewer and goes right,
        // the right side comes nearer too, up stays up.
        // Seen from above, what comes nearer goes down the picture.
        {ViewName::ThreeQuarter, {0, 0, -1}, 1, -1, 1},
        {ViewName::ThreeQuarter, {1, 0, 0}, -1, -1, 1},
        {ViewName::ThreeQuarter, {0, 1, 0}, 0, 1, 1},
    };
    for (const Case& c : cases) {
        const PanelView& view = layout.views[static_cast<int>(c.view)];
        ASSERT_EQ(view.GetName(), c.view);
        const ViewPoint from = view.Project({0, 0, 0});
        const ViewPoint to = view.Project(c.direction);
        const auto sign = [](double v) { return std::abs(v) < 1e-9 ? 0 : v > 0 ? 1 : -1; };
        const std::string what =
            std::string(view.GetTitle()) + " along (" + std::to_string(c.direction[0]) + ", " +
            std::to_string(c.direction[1]) + ", " + std::to_string(c.direction[2]) + ")";
        EXPECT_EQ(sign(to.x - from.x), c.right) << what;
        EXPECT_EQ(sign(from.y - to.y), c.up) << what;
        EXPECT_EQ(sign(from.depth - to.depth), c.nearer) << what;
        // A hardpoint's row drawn along the same direction goes the same way.
        const std::array<double, 2> drawn = view.ProjectDirection(c.direction);
        if (c.view != ViewName::ThreeQuarter) {
            EXPECT_EQ(sign(drawn[0]), c.right) << what;
            EXPECT_EQ(sign(-drawn[1]), c.up) << what;
        }
    }
}

// Pixels per unit of length that a view shows at the centre of the scene's box: how far
// apart it puts the centre and a point a step away along the axis that shows longest (a
// flat view shows two axes at its scale and the third as a point). The step is half the
// box's longest side, so that a box of any size moves the point by whole pixels and the
// point stays in front of the perspective's eye.
double ShownScale(const PanelView& view, const SceneBox& box) {
    const Point3 centre = box.empty ? Point3{} : box.GetCentre();
    const Point3 size = box.empty ? Point3{} : box.GetSize();
    const double step = std::max({1.0, size[0] / 2, size[1] / 2, size[2] / 2});
    const ViewPoint from = view.Project(centre);
    double shown = 0;
    for (int axis = 0; axis < 3; ++axis) {
        Point3 to = centre;
        to[axis] += step;
        const ViewPoint at = view.Project(to);
        shown = std::max(shown, std::hypot(at.x - from.x, at.y - from.y) / step);
    }
    return shown;
}

// Every view holds the whole model inside its drawing area. The flat views share one
// scale, at which one of them fills its area across or down; the perspective, fitted to
// the projection of the model's box, comes near that.
TEST(PictureViews, TheModelIsFittedIntoEveryPanel) {
    for (const char* file : GoldenFiles) {
        const PictureScene scene = BuildPictureScene(LoadGolden(file));
        for (const auto& [width, height] :
             {std::pair{1600, 1200}, std::pair{320, 240}, std::pair{800, 2000}}) {
            const PictureLayout layout = LayOutPicture(scene, width, height);
            const double flatScale = ShownScale(layout.views[0], scene.wholeBox);
            EXPECT_NEAR(ShownScale(layout.views[1], scene.wholeBox), flatScale, flatScale * 1e-9)
                << file;
            EXPECT_NEAR(ShownScale(layout.views[2], scene.wholeBox), flatScale, flatScale * 1e-9)
                << file;
            double flatFill = 0;
            for (const PanelView& view : layout.views) {
                const PixelBox& area = view.GetDrawingArea();
                double left = area.left + area.width;
                double right = area.left;
                double top = area.top + area.height;
                double bottom = area.top;
                std::vector<Point3> points;
                for (const SceneTriangle& t : scene.triangles) {
                    const std::array<Point3, 3> corners = scene.CornersOf(t);
                    points.insert(points.end(), corners.begin(), corners.end());
                }
                for (const SceneHardpoint& h : scene.hardpoints) {
                    points.push_back(h.position);
                }
                for (const Point3& p : points) {
                    const ViewPoint at = view.Project(p);
                    left = std::min(left, at.x);
                    right = std::max(right, at.x);
                    top = std::min(top, at.y);
                    bottom = std::max(bottom, at.y);
                }
                const std::string what = std::string(file) + ", " + view.GetTitle();
                constexpr double Slack = 1e-6;
                EXPECT_GE(left, area.left - Slack) << what;
                EXPECT_LE(right, area.left + area.width + Slack) << what;
                EXPECT_GE(top, area.top - Slack) << what;
                EXPECT_LE(bottom, area.top + area.height + Slack) << what;
                const double fill =
                    std::max((right - left) / area.width, (bottom - top) / area.height);
                if (view.GetName() == ViewName::ThreeQuarter) {
                    EXPECT_GT(fill, 0.5) << what;
                } else {
                    flatFill = std::max(flatFill, fill);
                }
            }
            EXPECT_NEAR(flatFill, 1, 1e-9) << file << " at " << width << "x" << height;
        }
    }
}

// Models with nothing to measure still give finite places, inside the area.
StoredModel HardpointsAlone(std::vector<StoredHardpoint> hardpoints) {
    StoredModel model;
    model.hardpoints = std::move(hardpoints);
    return model;
}

TEST(PictureViews, ModelsOfNoExtentLandInsideTheArea) {
    StoredHardpoint alone{"Alone"};
    alone.position = {1, 2, 3};
    StoredHardpoint far{"Far"};
    far.position = {3e38f, -3e38f, 3e38f};
    StoredHardpoint near{"Near"};
    near.position = {-3e38f, 1e-38f, 0};
    struct Case {
        const char* what;
        StoredModel model;
    };
    const Case cases[] = {
        {"nothing", {}},
        {"one point", HardpointsAlone({alone})},
        {"two points at the ends of float", HardpointsAlone({far, near})},
        {"a slanted square", BoxModel()},
        {"a flat triangle",
         {{"Flat"},
          {StoredMesh{0, 0, 0, {{{0, 0, 0}}, {{1, 0, 0}}, {{0, 1, 0}}}, {0, 1, 2}}},
          {{0}},
          {}}},
    };
    for (const Case& c : cases) {
        const PictureScene scene = BuildPictureScene(c.model);
        const PictureLayout layout = LayOutPicture(scene, 640, 480);
        for (const PanelView& view : layout.views) {
            // A perspective of nothing has no eye to measure from, and nothing to project.
            if (!scene.wholeBox.empty || view.GetName() != ViewName::ThreeQuarter) {
                const double scale = ShownScale(view, scene.wholeBox);
                EXPECT_TRUE(std::isfinite(scale) && scale > 0) << c.what;
            }
            const PixelBox& area = view.GetDrawingArea();
            for (const SceneHardpoint& h : scene.hardpoints) {
                // The outermost points lie on the area's edges.
                const ViewPoint at = view.Project(h.position);
                constexpr double Slack = 1e-9;
                EXPECT_TRUE(at.x >= area.left - Slack && at.x <= area.left + area.width + Slack &&
                            at.y >= area.top - Slack && at.y <= area.top + area.height + Slack)
                    << c.what << ": " << h.name << " at " << at.x << ", " << at.y;
            }
        }
        // And drawing them works.
        EXPECT_TRUE(DrawPicture(scene, layout)) << c.what;
    }
}

struct Drawn {
    std::vector<Corners> stored;
    PictureScene scene;
    PictureLayout layout;
    PictureSurface surface;
};

Drawn Draw(const StoredModel& model, int width = 1600, int height = 1200) {
    Drawn drawn{StoredTriangles(model), BuildPictureScene(model), {}, nullptr};
    drawn.layout = LayOutPicture(drawn.scene, width, height);
    Result<PictureSurface> surface = DrawPicture(drawn.scene, drawn.layout);
    EXPECT_TRUE(surface) << surface.message();
    if (surface) {
        drawn.surface = std::move(surface.value());
    }
    return drawn;
}

// Inside the silhouette the model is shaded; well outside it, and away from the
// hardpoints' marks and names, the panel is bare; every hardpoint's position carries
// its dot, a revolute one a ring round it.
TEST(Picture, ShowsTheModelWhereTheViewsPutIt) {
    const std::uint32_t background = Painted(BackgroundColour);
    const std::uint32_t dot = Painted(HardpointColour);
    const std::uint32_t ring = Painted(RevoluteColour);
    // A ring's thin stroke covers the pixels it crosses only in part.
    constexpr int RingTolerance = 60;
    for (const char* file : GoldenFiles) {
        const Drawn drawn = Draw(LoadGolden(file), 800, 600);
        ASSERT_TRUE(drawn.surface) << file;
        cairo_surface_t* surface = drawn.surface.get();
        const double text = drawn.layout.textSize;
        std::size_t shadedChecked = 0;
        std::size_t bareChecked = 0;
        for (const PanelView& view : drawn.layout.views) {
            const std::string what = std::string(file) + ", " + view.GetTitle();
            std::vector<std::array<ViewPoint, 3>> projected;
            for (const Corners& t : drawn.stored) {
                const std::array<ViewPoint, 3> c = Projected(view, t);
                projected.push_back(c);
                // A triangle at least two pixels thick has its centroid well inside.
                const double area = std::abs(Cross2(c[0], c[1], c[2])) / 2;
                double longest = 0;
                for (int e = 0; e < 3; ++e) {
                    longest = std::max(
                        longest, std::hypot(c[e].x - c[(e + 1) % 3].x, c[e].y - c[(e + 1) % 3].y));
                }
                if (2 * area / longest < 2) {
                    continue;
                }
                const ViewPoint at = view.Project(Centroid(t));
                EXPECT_NE(PixelAt(surface, at.x, at.y), background) << what;
                ++shadedChecked;
            }

            const PixelBox& area = view.GetDrawingArea();
            for (double y = area.top + 2; y < area.top + area.height - 2; y += 9) {
                for (double x = area.left + 2; x < area.left + area.width - 2; x += 9) {
                    const bool nearModel =
                        std::any_of(projected.begin(), projected.end(),
                                    [&](const auto& c) { return NearTriangle(x, y, c, 2.5); });
                    // A name goes left or right of its hardpoint, up to a few lines off.
                    const bool nearMark =
                        std::any_of(drawn.scene.hardpoints.begin(), drawn.scene.hardpoints.end(),
                                    [&](const SceneHardpoint& h) {
                                        return std::abs(y - view.Project(h.position).y) < 7 * text;
                                    });
                    if (!nearModel && !nearMark) {
                        EXPECT_EQ(PixelAt(surface, x, y), background)
                            << what << " at " << x << ", " << y;
                        ++bareChecked;
                    }
                }
            }

            for (const SceneHardpoint& h : drawn.scene.hardpoints) {
                const ViewPoint at = view.Project(h.position);
                EXPECT_EQ(PixelAt(surface, at.x, at.y), dot) << what << ": " << h.name;
                // The ring is 2.5 dots out; some of it may lie under the orientation's arms.
                const double radius = GetMarkSizes(text).ring;
                int ringPixels = 0;
                for (int step = 0; step < 16; ++step) {
                    const double angle = step * 2 * 3.141592653589793 / 16;
                    ringPixels += ChannelDistance(PixelAt(surface, at.x + radius * std::cos(angle),
                                                          at.y + radius * std::sin(angle)),
                                                  ring) <= RingTolerance;
                }
                const bool revoluteNear =
                    std::any_of(drawn.scene.hardpoints.begin(), drawn.scene.hardpoints.end(),
                                [&](const SceneHardpoint& other) {
                                    const ViewPoint there = view.Project(other.position);
                                    return other.revolute &&
                                           std::hypot(there.x - at.x, there.y - at.y) < 3 * radius;
                                });
                if (h.revolute) {
                    EXPECT_GE(ringPixels, 4) << what << ": " << h.name;
                } else if (!revoluteNear) {
                    EXPECT_EQ(ringPixels, 0) << what << ": " << h.name;
                }
            }
        }
        EXPECT_EQ(shadedChecked > 0, !drawn.scene.triangles.empty()) << file;
        EXPECT_GT(bareChecked, 20u) << file;
    }
}

// Flat shading: the faces of a convex model that the viewer sees are one shade per
// direction they face (give or take the rounding where smoothed edges of one colour
// meet), and different directions get clearly different shades.
TEST(Picture, ShadesEachFaceByTheDirectionItFaces) {
    const Drawn drawn = Draw(LoadGolden("tests/models/golden/cube.cmp"));
    ASSERT_TRUE(drawn.surface);
    const Point3 centre = drawn.scene.meshBox.GetCentre();
    for (const PanelView& view : drawn.layout.views) {
        std::map<std::array<long, 3>, std::vector<std::uint32_t>> shadesByFacing;
        for (const Corners& t : drawn.stored) {
            const Point3 middle = Centroid(t);
            const Point3& a = t.corners[0];
            const Point3 u = {t.corners[1][0] - a[0], t.corners[1][1] - a[1],
                              t.corners[1][2] - a[2]};
            const Point3 v = {t.corners[2][0] - a[0], t.corners[2][1] - a[1],
                              t.corners[2][2] - a[2]};
            Point3 outward = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                              u[0] * v[1] - u[1] * v[0]};
            const double length = std::hypot(outward[0], outward[1], outward[2]);
            for (double& c : outward) {
                c /= length;
            }
            const Point3 fromCentre = {middle[0] - centre[0], middle[1] - centre[1],
                                       middle[2] - centre[2]};
            if (Dot(outward, fromCentre) < 0) {
                outward = {-outward[0], -outward[1], -outward[2]};
            }
            if (Dot(outward, view.TowardViewer(middle)) < 0.2) {
                continue;  // hidden, or seen so edge-on that its centroid may be a seam
            }
            const ViewPoint at = view.Project(middle);
            shadesByFacing[{std::lround(outward[0]), std::lround(outward[1]),
                            std::lround(outward[2])}]
                .push_back(PixelAt(drawn.surface.get(), at.x, at.y));
        }
        const std::size_t expectedFaces = view.GetName() == ViewName::ThreeQuarter ? 3 : 1;
        EXPECT_EQ(shadesByFacing.size(), expectedFaces) << view.GetTitle();
        std::vector<std::uint32_t> faces;
        for (const auto& [facing, shades] : shadesByFacing) {
            for (std::uint32_t shade : shades) {
                EXPECT_LE(ChannelDistance(shade, shades[0]), 3) << view.GetTitle();
            }
            for (std::uint32_t other : faces) {
                EXPECT_GT(ChannelDistance(shades[0], other), 10) << view.GetTitle();
            }
            faces.push_back(shades[0]);
        }
    }
}

TEST(Picture, EncodesAPngCairoReadsBack) {
    const Drawn drawn = Draw(LoadGolden("tests/e2e/golden/kestrel.cmp"), 400, 300);
    ASSERT_TRUE(drawn.surface);
    const Result<Bytes> png = EncodePng(drawn.surface.get());
    ASSERT_TRUE(png) << png.message();
    ASSERT_GT(png.value().size(), 8u);
    EXPECT_EQ(std::string(png.value().begin(), png.value().begin() + 8), "\x89PNG\r\n\x1a\n");
}

// Hardpoints laid out in the scene's own axes as `count` points: all at one place, in a
// close row, or spread over a square.
PictureScene HardpointScene(std::size_t count, int pattern) {
    PictureScene scene;
    for (std::size_t h = 0; h < count; ++h) {
        SceneHardpoint& hardpoint = scene.hardpoints.emplace_back();
        hardpoint.name = "Hp" + std::to_string(h);
        const double step = static_cast<double>(h);
        hardpoint.position = pattern == 0 ? Point3{0, 0, 0}
                             : pattern == 1
                                 ? Point3{step * 0.01, 0, 0}
                                 : Point3{std::fmod(step * 7.31, 10), std::fmod(step * 3.17, 10),
                                          std::fmod(step * 1.3, 10)};
        scene.wholeBox.Add(hardpoint.position);
    }
    return scene;
}

// Every name placed lies inside its panel and clear of the title's and caption's bands, of
// every hardpoint's marks and of every other name; the rest are counted as left out.
TEST(PictureNames, NamesNeverOverlapAndTheRestAreLeftOut) {
    struct Case {
        const char* what;
        std::size_t count;
        int pattern;
        int width;
        int height;
        bool someHidden;
    };
    const Case cases[] = {
        {"one alone", 1, 0, 800, 600, false},
        {"forty at one place", 40, 0, 800, 600, true},
        {"a close row of 300", 300, 1, 800, 600, true},
        {"2,000 spread", 2000, 2, 1600, 1200, true},
        {"2,000 spread, smallest picture", 2000, 2, 320, 240, true},
        {"twelve spread", 12, 2, 1600, 1200, false},
    };
    const NameFont font{9, 12};
    for (const Case& c : cases) {
        const PictureScene scene = HardpointScene(c.count, c.pattern);
        const PictureLayout layout = LayOutPicture(scene, c.width, c.height);
        std::vector<double> widths;
        for (std::size_t h = 0; h < c.count; ++h) {
            widths.push_back(30 + static_cast<double>(h % 7) * 10);
        }
        for (const PanelView& view : layout.views) {
            const std::string what = std::string(c.what) + ", " + view.GetTitle();
            const NamePlaces names =
                PlaceHardpointNames(scene, view, layout.textSize, widths, font);
            ASSERT_EQ(names.places.size(), c.count) << what;
            const PixelBox& panel = view.GetPanel();
            const double ring = GetMarkSizes(layout.textSize).ring;
            std::vector<LabelBox> taken = {
                {panel.left, panel.top, panel.left + panel.width,
                 panel.top + TitleBand * layout.textSize},
                {panel.left, panel.top + panel.height - CaptionBand * layout.textSize,
                 panel.left + panel.width, panel.top + panel.height}};
            for (const SceneHardpoint& hardpoint : scene.hardpoints) {
                const ViewPoint at = view.Project(hardpoint.position);
                taken.push_back({at.x - ring, at.y - ring, at.x + ring, at.y + ring});
            }
            std::size_t placed = 0;
            for (std::size_t h = 0; h < c.count; ++h) {
                if (!names.places[h]) {
                    continue;
                }
                ++placed;
                const auto [x, y] = *names.places[h];
                const LabelBox box{x, y - font.ascent, x + widths[h],
                                   y - font.ascent + font.lineHeight};
                EXPECT_TRUE(box.left >= panel.left && box.right <= panel.left + panel.width &&
                            box.top >= panel.top && box.bottom <= panel.top + panel.height)
                    << what << ": name " << h;
                for (const LabelBox& other : taken) {
                    ASSERT_FALSE(box.Overlaps(other)) << what << ": name " << h;
                }
                taken.push_back(box);
            }
            EXPECT_EQ(placed + names.hidden, c.count) << what;
            EXPECT_EQ(names.hidden > 0, c.someHidden) << what;
            EXPECT_GT(placed, 0u) << what;
        }
    }
}

TEST(PictureNames, TheCaptionSaysHowManyNamesAreLeftOut) {
    PictureScene scene = HardpointScene(40, 0);
    EXPECT_EQ(GetPanelCaption(scene, 0),
              (std::vector<CaptionLine>{{"No mesh data: the hardpoints alone"}}));
    scene.hasMeshData = true;
    scene.meshBox.Add({0, 0, 0});
    scene.meshBox.Add({1.62, 0.41, 2.1});
    EXPECT_EQ(GetPanelCaption(scene, 25),
              (std::vector<CaptionLine>{
                  {"25 of 40 names hidden where they would overlap", "25 names hidden"},
                  {"1.62 x 0.41 x 2.10  (width x height x length)", "1.62 x 0.41 x 2.10"}}));
    EXPECT_EQ(GetPanelCaption(PictureScene{}, 0),
              (std::vector<CaptionLine>{{"No mesh data and no hardpoints"}}));
}

// At the smallest size the titles and the size of a very small model once ran out of
// their panels: every line of text now ends inside its panel's margin.
TEST(Picture, TitlesAndCaptionsStayInsideTheirPanels) {
    StoredModel speck;
    speck.entries = {"Speck.lod0.vms"};
    speck.meshes.push_back(
        StoredMesh{0,
                   0,
                   0,
                   {{{0, 0, 0}, {}, {}}, {{1e-6f, 0, 0}, {}, {}}, {{0, -1e-6f, 0}, {}, {}}},
                   {0, 1, 2}});
    speck.references = {{0}};
    speck.hardpoints.push_back(StoredHardpoint{.name = "HpA"});
    struct Case {
        const char* what;
        StoredModel model;
        int width;
        int height;
    };
    const Case cases[] = {
        {"a speck, smallest", speck, 320, 240},
        {"a speck, narrow", speck, 320, 900},
        {"the kestrel, smallest", LoadGolden("tests/e2e/golden/kestrel.cmp"), 320, 240},
        {"the kestrel, default", LoadGolden("tests/e2e/golden/kestrel.cmp"), 1600, 1200},
    };
    const std::uint32_t background = Painted(BackgroundColour);
    for (const Case& c : cases) {
        const Drawn drawn = Draw(c.model, c.width, c.height);
        ASSERT_TRUE(drawn.surface) << c.what;
        const double text = drawn.layout.textSize;
        for (const PanelView& view : drawn.layout.views) {
            const std::string what = std::string(c.what) + ", " + view.GetTitle();
            const PixelBox& panel = view.GetPanel();
            const double margin = view.GetDrawingArea().left - panel.left;
            const double right = panel.left + panel.width;
            // The title's and the caption's lines, row by row.
            std::vector<double> rows;
            for (double y = panel.top + 0.5 * text; y < panel.top + 1.9 * text; y += 1) {
                rows.push_back(y);
            }
            for (double y = panel.top + panel.height - 3 * text;
                 y < panel.top + panel.height - 0.6 * text; y += 1) {
                rows.push_back(y);
            }
            std::size_t inked = 0;
            for (const double y : rows) {
                for (double x = right - margin + 1; x < right - 2; x += 1) {
                    EXPECT_EQ(PixelAt(drawn.surface.get(), x, y), background)
                        << what << " at " << x << ", " << y;
                }
                for (double x = panel.left + margin; x < right - margin; x += 1) {
                    inked += PixelAt(drawn.surface.get(), x, y) != background;
                }
            }
            EXPECT_GT(inked, 20u) << what << ": the lines are there";
        }
    }
}

TEST(PictureOptions, SizesAndCombinations) {
    struct Case {
        const char* out;
        const char* size;
        bool otherMode;
        int width;  // 0: refused
        int height;
        const char* message;
    };
    const Case cases[] = {
        {"ship.png", nullptr, false, 1600, 1200, ""},
        {"ship.png", "640x480", false, 640, 480, ""},
        {"ship.png", "320X240", false, 320, 240, ""},
        {"ship.png", "8192x8192", false, 8192, 8192, ""},
        {"ship.png", "0640x0480", false, 640, 480, ""},
        {"ship.png", "319x240", false, 0, 0,
         "--size takes WIDTHxHEIGHT in pixels, from 320x240 "
         "to 8192x8192, not '319x240'"},
        {"ship.png", "320x239", false, 0, 0, "not '320x239'"},
        {"ship.png", "8193x600", false, 0, 0, "not '8193x600'"},
        {"ship.png", "99999999999x600", false, 0, 0, "not '99999999999x600'"},
        {"ship.png", "-640x480", false, 0, 0, "not '-640x480'"},
        {"ship.png", "+640x480", false, 0, 0, "not '+640x480'"},
        {"ship.png", " 640x480", false, 0, 0, "not ' 640x480'"},
        {"ship.png", "640x480 ", false, 0, 0, "not '640x480 '"},
        {"ship.png", "640x", false, 0, 0, "not '640x'"},
        {"ship.png", "x480", false, 0, 0, "not 'x480'"},
        {"ship.png", "640", false, 0, 0, "not '640'"},
        {"ship.png", "640x480x2", false, 0, 0, "not '640x480x2'"},
        {"ship.png", "640.5x480", false, 0, 0, "not '640.5x480'"},
        {"ship.png", "640x480\x1b", false, 0, 0, "not '640x480\\x1B'"},
        {"ship.png", "", false, 0, 0, "not ''"},
        {nullptr, "640x480", false, 0, 0, "--size goes with --render"},
        {"ship.png", nullptr, true, 0, 0, "leave out --check and --json"},
        {"", nullptr, false, 0, 0, "--render needs a file name for the picture"},
    };
    for (const Case& c : cases) {
        const std::string what =
            std::string(c.out ? c.out : "(none)") + " " + (c.size ? c.size : "(default)");
        const Result<PictureRequest> request = ReadPictureOptions(c.out, c.size, c.otherMode);
        if (c.width == 0) {
            ASSERT_FALSE(request) << what;
            EXPECT_EQ(request.code(), ErrorCode::BadUsage) << what;
            EXPECT_NE(request.message().find(c.message), std::string::npos)
                << what << ": " << request.message();
            continue;
        }
        ASSERT_TRUE(request) << what << ": " << request.message();
        EXPECT_EQ(request.value().path, c.out);
        EXPECT_EQ(request.value().width, c.width) << what;
        EXPECT_EQ(request.value().height, c.height) << what;
    }
}

}  // namespace

}  // namespace cmp
