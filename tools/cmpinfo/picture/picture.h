// The picture of a model (`cmpinfo --render`): the request read from the options, the
// scene in the modeller's axes, the four views and where a point lands in them, where
// the hardpoints' names go, and the drawing itself with Cairo. Everything but the drawing
// is plain data and arithmetic in pixels, which every build has; the drawing and the PNG
// exist only in builds that draw (CMPINFO_DRAWS_PICTURES: Linux, with Cairo), and the
// Windows build says it cannot draw.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "core/little_endian.h"
#include "tools/cmpinfo/read/read.h"

#ifdef CMPINFO_DRAWS_PICTURES
#include <cairo.h>
#endif

namespace cmp {

// -- The request and the run (picture_command.cpp)
// `cmpinfo --render OUT.png [--size WxH] FILE`: the picture of the model of a file that
// passed every check, written to OUT as PNG.

inline constexpr int DefaultPictureWidth = 1600;
inline constexpr int DefaultPictureHeight = 1200;
// Below this the four views leave no room for the model beside their text; above it a
// picture takes hundreds of megabytes to draw.
inline constexpr int SmallestPictureWidth = 320;
inline constexpr int SmallestPictureHeight = 240;
inline constexpr int LargestPictureSide = 8192;

struct PictureRequest {
    std::string path;  // where the PNG goes
    int width = DefaultPictureWidth;
    int height = DefaultPictureHeight;
};

// The request of `--render OUT` (null: not given) and `--size WxH` (null: the default).
// BadUsage, with the message to show, for a size that is not two whole numbers within
// the bounds, an empty OUT, `--size` without `--render`, and `--render` together with
// the report's modes (`otherMode`).
Result<PictureRequest> ReadPictureOptions(const char* out, const char* size, bool otherMode);

// Draws the model of the file at `path` as the request asks. Tells on standard error
// what the picture leaves out, or why there is none. Exit status 0 with the picture
// written; 2 without one: the file cannot be read or the checks find problems, the
// picture cannot be drawn or written (any file at OUT is then as it was), or this
// build cannot draw.
int RenderPicture(const PictureRequest& request, const std::string& path);

// -- The scene (picture_scene.cpp)
// What the picture of a model shows, in the modeller's axes: the triangles of its meshes
// and its hardpoints, with whatever cannot be placed (a coordinate that is not a finite
// number) left out and counted. Pure data and arithmetic; the drawing is elsewhere.

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

// -- The views (picture_views.cpp)
// The four views of the picture and where a point of the model lands in them, in pixels.
//
// The views follow the modeller's axes: Y is up, and a ship's nose points along -Z (the
// example ship's does, and its engine sits at +Z), so its right side is +X.
//   Front          looks at the nose: from -Z toward +Z, Y up (the ship's right, +X,
//                  is on the picture's left, as when facing someone).
//   Side           looks at the ship's right side: from +X toward -X, Y up, nose to the
//                  right.
//   Top            looks down from +Y, nose up, +X to the right.
//   Three-quarter  a perspective from ahead, to the right and above.
// The three flat views share one scale, so that lengths compare across them; the
// perspective is fitted to its panel on its own.

enum class ViewName { Front, Side, Top, ThreeQuarter };

// A rectangle of the picture, in pixels from its top left corner.
struct PixelBox {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

// A point as a view sees it: pixels from the picture's top left (x right, y down), and
// its distance along the view's line of sight (larger is farther from the viewer).
struct ViewPoint {
    double x = 0;
    double y = 0;
    double depth = 0;
};

// A hardpoint's marks, in pixels, for text `textSize` pixels high: the arms of its
// orientation's cross, the dot at its position, the ring round a revolute one, and the
// width of their strokes. The drawing area leaves room for the arms all round.
struct MarkSizes {
    double arm;
    double dot;
    double ring;
    double line;
};
MarkSizes GetMarkSizes(double textSize);

class PanelView {
  public:
    PanelView() = default;
    // A view of `box` in `panel`, leaving room for text `textSize` pixels high.
    PanelView(ViewName name, const PixelBox& panel, const SceneBox& box, double textSize);

    ViewName GetName() const { return name_; }
    const char* GetTitle() const;
    const PixelBox& GetPanel() const { return panel_; }
    // The part of the panel the model is fitted into, between the title and the caption.
    const PixelBox& GetDrawingArea() const { return area_; }

    ViewPoint Project(const Point3& point) const;
    // A direction in the model as seen on the picture: pixels per unit of length in x
    // and y, before any fitting (a direction along the line of sight has none).
    std::array<double, 2> ProjectDirection(const Point3& direction) const;
    // The unit direction from `point` toward the viewer.
    Point3 TowardViewer(const Point3& point) const;
    // A light over the viewer's left shoulder, as a unit direction in the model's axes.
    Point3 GetLight() const;

    // Fitting, done by the layout: `scale` pixels per unit of the view's plane, the
    // view's projected box centred in the drawing area. Zero and undefined scales (a
    // model of one point, or none) fall back to one unit across the drawing area.
    void Fit(double scale);
    // The largest scale at which the scene's box fits the drawing area.
    double GetFittingScale() const;

  private:
    // The view's plane coordinates of a point (right, up) and its depth, before fitting.
    ViewPoint PlaneOf(const Point3& point) const;

    ViewName name_ = ViewName::Front;
    PixelBox panel_;
    PixelBox area_;
    bool perspective_ = false;
    // Right, up and toward the viewer: the view's axes in the model's.
    std::array<Point3, 3> axes_{};
    Point3 centre_{};  // the scene's box centre, which the view looks at
    double eyeDistance_ = 0;
    // The projected box of the scene's box, in plane coordinates.
    double planeMinX_ = 0;
    double planeMaxX_ = 0;
    double planeMinY_ = 0;
    double planeMaxY_ = 0;
    double scale_ = 1;
};

struct PictureLayout {
    int width = 0;
    int height = 0;
    std::array<PanelView, 4> views;  // front, side, top, three-quarter
    double textSize = 0;             // the height of a line of text, in pixels
};

// Four panels of one picture of `width` by `height` pixels, two by two, each view fitted
// to the scene's whole box (triangles and hardpoints).
PictureLayout LayOutPicture(const PictureScene& scene, int width, int height);

// -- The hardpoints' names (picture_labels.cpp)
// Where the names of hardpoints go in one panel of the picture: beside their dots, never
// over another name or another hardpoint's marks. A name that finds no such place is
// left out and counted, so that a model of thousands of hardpoints shows as many names
// as there is room for, each legible, in time that grows no faster than their number.
// Pure geometry in pixels; the drawing is elsewhere.

struct LabelBox {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;

    bool Overlaps(const LabelBox& other) const {
        return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
    }
};

class LabelPlacer {
  public:
    // Names `lineHeight` pixels high, `ascent` of them above the baseline, inside `panel`.
    LabelPlacer(const PixelBox& panel, double ascent, double lineHeight);

    // A box no name may cover: a hardpoint's marks.
    void AddMark(const LabelBox& box);

    // The baseline's start of a name `width` pixels wide beside a dot at (x, y) of radius
    // `reach`: the first of a few places, right of the dot then left of it, above then
    // below, then further up and down, that stays inside the panel and covers no mark and
    // no name placed before; that place is then taken. Nothing when none is free: the name
    // is left out.
    std::optional<std::array<double, 2>> Place(double x, double y, double reach, double width);

    // The names left out so far.
    std::size_t GetHidden() const { return hidden_; }

  private:
    // The panel is cut into square cells about a line high, each listing the boxes that
    // reach into it, up to CrowdedCell of them; a cell that more boxes reach is crowded,
    // and no name goes over it. So every test looks at a bounded number of boxes however
    // many hardpoints a panel holds.
    static constexpr std::uint32_t CrowdedCell = 8;
    struct Cell {
        std::uint32_t boxes = 0;        // every box that reaches into it
        std::vector<std::size_t> kept;  // the first CrowdedCell of them: places in boxes_
    };
    struct CellRange {
        std::size_t firstColumn, lastColumn, firstRow, lastRow;
    };
    // The cells `box` reaches into; none when it lies wholly outside the panel.
    std::optional<CellRange> CellsOf(const LabelBox& box) const;
    void Take(const LabelBox& box);
    bool IsFree(const LabelBox& box) const;

    PixelBox panel_;
    double ascent_;
    double lineHeight_;
    double cellSize_;
    std::size_t columns_;
    std::size_t rows_;
    std::vector<Cell> cells_;
    std::vector<LabelBox> boxes_;
    std::size_t hidden_ = 0;
};

// The heights of the title's band at the top of a panel and the caption's at its foot, in
// lines of text (PictureLayout::textSize): the title's baseline is 1.6 lines down; the
// caption's two lines, 1.2 lines apart, end 0.9 lines above the foot.
inline constexpr double TitleBand = 2.1;
inline constexpr double CaptionBand = 3.3;

// The names' font: the height of a line and how much of it lies above the baseline.
struct NameFont {
    double ascent = 0;
    double lineHeight = 0;
};

struct NamePlaces {
    // Each hardpoint's name: its baseline's start, or nothing when it is left out.
    std::vector<std::optional<std::array<double, 2>>> places;
    std::size_t hidden = 0;
};

// Where the names of the scene's hardpoints go in the view's panel, first come first
// placed (LabelPlacer::Place), names `widths` wide (one per hardpoint, in pixels) in
// `font`: clear of every hardpoint's marks (the square round its ring, GetMarkSizes of
// `textSize`), of the title's and the caption's bands, and of one another.
NamePlaces PlaceHardpointNames(const PictureScene& scene, const PanelView& view, double textSize,
                               const std::vector<double>& widths, const NameFont& font);

// -- The drawing (picture_drawing.cpp), in builds that draw
#ifdef CMPINFO_DRAWS_PICTURES
// The picture of a model, drawn with Cairo: four flat-shaded views of its triangles,
// back to front, with its hardpoints on top, each view titled and captioned with the
// model's size; and the picture as PNG bytes.

struct PictureColour {
    double red;
    double green;
    double blue;
};

// Colours that tell what a pixel shows. The shades of the triangles are the materials'
// colours darkened, and never reach these.
inline constexpr PictureColour BackgroundColour{0.97, 0.97, 0.98};
inline constexpr PictureColour HardpointColour{1.0, 0.0, 0.8};  // the dot at its position
inline constexpr PictureColour RevoluteColour{1.0, 0.55, 0.0};  // the ring round a revolute one
// The orientation's first, second and third rows.
inline constexpr PictureColour RowColours[3] = {
    {0.85, 0.1, 0.1}, {0.1, 0.6, 0.1}, {0.1, 0.3, 0.95}};

struct SurfaceCloser {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using PictureSurface = std::unique_ptr<cairo_surface_t, SurfaceCloser>;

// An image surface of the layout's size with the picture drawn on it. OutOfMemory when
// Cairo could not make or draw it.
Result<PictureSurface> DrawPicture(const PictureScene& scene, const PictureLayout& layout);

// The surface as a PNG file's bytes. CannotWrite when Cairo could not encode it.
Result<Bytes> EncodePng(cairo_surface_t* surface);
#endif  // CMPINFO_DRAWS_PICTURES

}  // namespace cmp
