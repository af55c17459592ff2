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
#pragma once

#include <array>
#include <string>

#include "tools/cmpinfo/picture/picture_scene.h"

namespace cmp {

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
    double GetScale() const { return scale_; }

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

}  // namespace cmp
