#include "tools/cmpinfo/picture/picture.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace cmp {

namespace {

double Dot(const Point3& a, const Point3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

Point3 Unit(const Point3& v) {
    const double length = std::hypot(v[0], v[1], v[2]);
    return {v[0] / length, v[1] / length, v[2] / length};
}

Point3 Cross(const Point3& a, const Point3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// Right, up and toward the viewer for a view from `towardViewer` with the model's Y up.
std::array<Point3, 3> AxesLookingFrom(const Point3& towardViewer) {
    const Point3 back = Unit(towardViewer);
    const Point3 right = Unit(Cross({0, 1, 0}, back));
    return {right, Cross(back, right), back};
}

std::array<Point3, 3> AxesOf(ViewName name) {
    switch (name) {
        case ViewName::Front:
            return AxesLookingFrom({0, 0, -1});
        case ViewName::Side:
            return AxesLookingFrom({1, 0, 0});
        case ViewName::Top:
            // Straight down has no "up" from Y: the nose (-Z) is up on the picture.
            return {Point3{1, 0, 0}, Point3{0, 0, -1}, Point3{0, 1, 0}};
        case ViewName::ThreeQuarter:
            break;
    }
    // 40 degrees round from the nose toward the right side, 25 degrees above.
    const double around = 40 * std::numbers::pi / 180;
    const double above = 25 * std::numbers::pi / 180;
    return AxesLookingFrom(
        {std::sin(around) * std::cos(above), std::sin(above), -std::cos(around) * std::cos(above)});
}

// How far the perspective's eye stands from the centre, in radii of the scene's box.
constexpr double EyeDistanceInRadii = 3;

bool IsUsableScale(double scale) {
    return scale > 0 && std::isfinite(scale);
}

}  // namespace

MarkSizes GetMarkSizes(double textSize) {
    const double dot = std::max(3.0, textSize / 4);
    return {2.2 * textSize, dot, 2.5 * dot, std::max(1.5, textSize / 8)};
}

PanelView::PanelView(ViewName name, const PixelBox& panel, const SceneBox& box, double textSize)
    : name_(name),
      panel_(panel),
      perspective_(name == ViewName::ThreeQuarter),
      axes_(AxesOf(name)) {
    // Room for the title above, the caption below, and hardpoints' marks all round.
    const double arm = GetMarkSizes(textSize).arm;
    const double margin = std::max(textSize, panel.width / 25) + arm;
    const double title = 2.2 * textSize + arm;
    const double caption = 2 * textSize + arm;
    area_ = {panel.left + margin, panel.top + title, std::max(1.0, panel.width - 2 * margin),
             std::max(1.0, panel.height - title - caption)};
    if (box.empty) {
        return;
    }
    centre_ = box.GetCentre();
    const Point3 size = box.GetSize();
    const double radius = std::hypot(size[0], size[1], size[2]) / 2;
    eyeDistance_ = EyeDistanceInRadii * (IsUsableScale(radius) ? radius : 1.0);
    bool first = true;
    for (int corner = 0; corner < 8; ++corner) {
        const ViewPoint seen =
            PlaneOf({corner & 1 ? box.max[0] : box.min[0], corner & 2 ? box.max[1] : box.min[1],
                     corner & 4 ? box.max[2] : box.min[2]});
        planeMinX_ = first ? seen.x : std::min(planeMinX_, seen.x);
        planeMaxX_ = first ? seen.x : std::max(planeMaxX_, seen.x);
        planeMinY_ = first ? seen.y : std::min(planeMinY_, seen.y);
        planeMaxY_ = first ? seen.y : std::max(planeMaxY_, seen.y);
        first = false;
    }
}

const char* PanelView::GetTitle() const {
    switch (name_) {
        case ViewName::Front:
            return "Front: facing the nose (-Z)";
        case ViewName::Side:
            return "Side: from the right (+X), nose right";
        case ViewName::Top:
            return "Top: from above (+Y), nose up";
        case ViewName::ThreeQuarter:
            break;
    }
    return "Three-quarter: ahead, right, above";
}

ViewPoint PanelView::PlaneOf(const Point3& point) const {
    const Point3 offset = {point[0] - centre_[0], point[1] - centre_[1], point[2] - centre_[2]};
    const double x = Dot(offset, axes_[0]);
    const double y = Dot(offset, axes_[1]);
    const double towardViewer = Dot(offset, axes_[2]);
    if (!perspective_) {
        return {x, y, -towardViewer};
    }
    // Every point of the box lies within its radius of the centre, so in front of the eye.
    const double depth = eyeDistance_ - towardViewer;
    return {x / depth, y / depth, depth};
}

ViewPoint PanelView::Project(const Point3& point) const {
    const ViewPoint plane = PlaneOf(point);
    return {area_.left + area_.width / 2 + scale_ * (plane.x - (planeMinX_ + planeMaxX_) / 2),
            area_.top + area_.height / 2 - scale_ * (plane.y - (planeMinY_ + planeMaxY_) / 2),
            plane.depth};
}

std::array<double, 2> PanelView::ProjectDirection(const Point3& direction) const {
    return {Dot(direction, axes_[0]), -Dot(direction, axes_[1])};
}

Point3 PanelView::TowardViewer(const Point3& point) const {
    if (!perspective_) {
        return axes_[2];
    }
    const Point3 toEye = {centre_[0] + eyeDistance_ * axes_[2][0] - point[0],
                          centre_[1] + eyeDistance_ * axes_[2][1] - point[1],
                          centre_[2] + eyeDistance_ * axes_[2][2] - point[2]};
    const double length = std::hypot(toEye[0], toEye[1], toEye[2]);
    return length > 0 ? Point3{toEye[0] / length, toEye[1] / length, toEye[2] / length} : axes_[2];
}

Point3 PanelView::GetLight() const {
    Point3 light{};
    for (int axis = 0; axis < 3; ++axis) {
        light[axis] = -0.35 * axes_[0][axis] + 0.55 * axes_[1][axis] + 0.75 * axes_[2][axis];
    }
    return Unit(light);
}

double PanelView::GetFittingScale() const {
    return std::min(area_.width / (planeMaxX_ - planeMinX_),
                    area_.height / (planeMaxY_ - planeMinY_));
}

void PanelView::Fit(double scale) {
    scale_ = IsUsableScale(scale) ? scale : std::min(area_.width, area_.height);
}

PictureLayout LayOutPicture(const PictureScene& scene, int width, int height) {
    PictureLayout layout;
    layout.width = width;
    layout.height = height;
    layout.textSize = std::max(9.0, std::min(width, height) / 75.0);
    const double halfWidth = std::floor(width / 2.0);
    const double halfHeight = std::floor(height / 2.0);
    const PixelBox panels[4] = {
        {0, 0, halfWidth, halfHeight},
        {halfWidth, 0, width - halfWidth, halfHeight},
        {0, halfHeight, halfWidth, height - halfHeight},
        {halfWidth, halfHeight, width - halfWidth, height - halfHeight},
    };
    const ViewName names[4] = {ViewName::Front, ViewName::Side, ViewName::Top,
                               ViewName::ThreeQuarter};
    for (int v = 0; v < 4; ++v) {
        layout.views[v] = PanelView(names[v], panels[v], scene.wholeBox, layout.textSize);
    }
    // One scale for the flat views, the smallest that any of them needs: a view that has
    // no extent across (a flat model seen edge on) needs none, and says so with infinity.
    double flatScale = std::numeric_limits<double>::infinity();
    for (int v = 0; v < 3; ++v) {
        flatScale = std::min(flatScale, layout.views[v].GetFittingScale());
    }
    for (int v = 0; v < 3; ++v) {
        layout.views[v].Fit(flatScale);
    }
    layout.views[3].Fit(layout.views[3].GetFittingScale());
    return layout;
}

}  // namespace cmp
