#include "tools/cmpinfo/picture.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <new>
#include <numbers>
#include <string>
#include <vector>

#include "tools/cmpinfo/leaf_text.h"

namespace cmp {

namespace {

struct ContextCloser {
    void operator()(cairo_t* context) const { cairo_destroy(context); }
};
using Context = std::unique_ptr<cairo_t, ContextCloser>;

// Materials by their order of first use; more than there are colours share them.
constexpr PictureColour MaterialColours[] = {
    {0.62, 0.66, 0.72}, {0.35, 0.55, 0.85}, {0.80, 0.68, 0.45},
    {0.50, 0.72, 0.50}, {0.80, 0.52, 0.55}, {0.62, 0.55, 0.80},
};
constexpr PictureColour TextColour{0.1, 0.1, 0.12};
constexpr PictureColour FrameColour{0.75, 0.75, 0.78};
// How much of a material's colour a face gets that the light does not reach.
constexpr double Ambient = 0.3;

void SetColour(cairo_t* cr, const PictureColour& colour, double intensity = 1) {
    cairo_set_source_rgb(cr, colour.red * intensity, colour.green * intensity,
                         colour.blue * intensity);
}

double Dot(const Point3& a, const Point3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void ShowText(cairo_t* cr, double x, double y, const std::string& text, bool bold = false) {
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, text.c_str());
}

// Every triangle, farthest first, each filled in its material's colour as lit from over
// the viewer's shoulder. A face is lit on the side the viewer sees, whichever way it
// winds, so that open and one-sided meshes read as solid. Each fill is stroked in its
// own colour too, which closes the hairline gaps that smoothed edges leave between
// neighbours.
void DrawTriangles(cairo_t* cr, const PictureScene& scene, const PanelView& view) {
    struct Placed {
        std::array<ViewPoint, 3> corners;
        double depth;
        std::size_t triangle;
    };
    std::vector<Placed> placed;
    placed.reserve(scene.triangles.size());
    for (std::size_t t = 0; t < scene.triangles.size(); ++t) {
        Placed p{};
        for (int c = 0; c < 3; ++c) {
            p.corners[c] = view.Project(scene.triangles[t].corners[c]);
        }
        p.depth = (p.corners[0].depth + p.corners[1].depth + p.corners[2].depth) / 3;
        p.triangle = t;
        placed.push_back(p);
    }
    std::stable_sort(placed.begin(), placed.end(),
                     [](const Placed& a, const Placed& b) { return a.depth > b.depth; });

    const Point3 light = view.GetLight();
    cairo_set_line_width(cr, 0.75);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_BEVEL);
    for (const Placed& p : placed) {
        const SceneTriangle& triangle = scene.triangles[p.triangle];
        const Point3& a = triangle.corners[0];
        const Point3 centre = {(a[0] + triangle.corners[1][0] + triangle.corners[2][0]) / 3,
                               (a[1] + triangle.corners[1][1] + triangle.corners[2][1]) / 3,
                               (a[2] + triangle.corners[1][2] + triangle.corners[2][2]) / 3};
        const double facing = Dot(triangle.normal, view.TowardViewer(centre)) < 0 ? -1 : 1;
        const double lit = std::max(0.0, facing * Dot(triangle.normal, light));
        const PictureColour& colour =
            MaterialColours[triangle.material % std::size(MaterialColours)];
        SetColour(cr, colour, Ambient + (1 - Ambient) * lit);
        cairo_move_to(cr, p.corners[0].x, p.corners[0].y);
        cairo_line_to(cr, p.corners[1].x, p.corners[1].y);
        cairo_line_to(cr, p.corners[2].x, p.corners[2].y);
        cairo_close_path(cr);
        cairo_fill_preserve(cr);
        cairo_stroke(cr);
    }
}

std::string HardpointLabel(const SceneHardpoint& hardpoint) {
    std::string label = hardpoint.name.empty() ? "(no name)" : Printable(CutName(hardpoint.name));
    return hardpoint.revolute ? label + " (revolute)" : label;
}

// Where a name goes beside its hardpoint's dot: the first of a few places, right of the
// dot then left of it, above then below, then further up and down, that stays inside
// the panel and covers neither another hardpoint's marks nor a name placed before. When
// none does, the first. Past MaxLabelsPlaced names every name takes the first place:
// the search compares with all placed before, and a model with so many hardpoints has
// no room for their names anyway.
constexpr std::size_t MaxLabelsPlaced = 400;

struct LabelBox {
    double left;
    double top;
    double right;
    double bottom;

    bool Overlaps(const LabelBox& other) const {
        return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
    }
};

class LabelPlacer {
  public:
    LabelPlacer(cairo_t* cr, const PixelBox& panel, std::vector<LabelBox> taken)
        : cr_(cr), panel_(panel), taken_(std::move(taken)) {
        cairo_font_extents_t font;
        cairo_font_extents(cr, &font);
        ascent_ = font.ascent;
        line_ = font.ascent + font.descent;
    }

    // The baseline's start of `text` beside a dot at (x, y) of radius `reach`.
    std::array<double, 2> Place(const std::string& text, double x, double y, double reach) {
        cairo_text_extents_t extents;
        cairo_text_extents(cr_, text.c_str(), &extents);
        const double width = extents.x_advance;
        const double above = y - reach;
        const double below = y + reach + ascent_;
        const std::array<double, 2> first = {x + reach, above};
        if (placed_ >= MaxLabelsPlaced) {
            return first;
        }
        ++placed_;
        for (int shift = 0; shift < 4; ++shift) {
            for (const std::array<double, 2>& at :
                 {std::array<double, 2>{x + reach, above - shift * line_},
                  {x + reach, below + shift * line_},
                  {x - reach - width, above - shift * line_},
                  {x - reach - width, below + shift * line_}}) {
                const LabelBox box = {at[0], at[1] - ascent_, at[0] + width,
                                      at[1] - ascent_ + line_};
                if (box.left < panel_.left || box.right > panel_.left + panel_.width ||
                    box.top < panel_.top || box.bottom > panel_.top + panel_.height) {
                    continue;
                }
                if (std::none_of(taken_.begin(), taken_.end(),
                                 [&](const LabelBox& other) { return box.Overlaps(other); })) {
                    taken_.push_back(box);
                    return at;
                }
            }
        }
        return first;
    }

  private:
    cairo_t* cr_;
    PixelBox panel_;
    std::vector<LabelBox> taken_;
    std::size_t placed_ = 0;
    double ascent_ = 0;
    double line_ = 0;
};

// Every hardpoint where it is: its orientation's rows as a cross of three coloured
// strokes and a ring round a revolute one; then every name beside its hardpoint, on a
// pale ground that keeps it legible over the model; then, over all of them, a dot at
// each position, so that no other mark hides where a hardpoint is.
void DrawHardpoints(cairo_t* cr, const PictureScene& scene, const PanelView& view,
                    double textSize) {
    const MarkSizes marks = GetMarkSizes(textSize);
    std::vector<ViewPoint> places;
    places.reserve(scene.hardpoints.size());
    std::vector<LabelBox> markBoxes;
    for (const SceneHardpoint& hardpoint : scene.hardpoints) {
        places.push_back(view.Project(hardpoint.position));
        if (markBoxes.size() < MaxLabelsPlaced) {
            const ViewPoint& at = places.back();
            markBoxes.push_back(
                {at.x - marks.ring, at.y - marks.ring, at.x + marks.ring, at.y + marks.ring});
        }
    }

    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, marks.line);
    for (std::size_t h = 0; h < scene.hardpoints.size(); ++h) {
        const SceneHardpoint& hardpoint = scene.hardpoints[h];
        const ViewPoint& at = places[h];
        for (int row = 0; row < 3; ++row) {
            if (!hardpoint.rowDrawn[row]) {
                continue;
            }
            const std::array<double, 2> along = view.ProjectDirection(hardpoint.rows[row]);
            SetColour(cr, RowColours[row]);
            cairo_move_to(cr, at.x, at.y);
            cairo_line_to(cr, at.x + marks.arm * along[0], at.y + marks.arm * along[1]);
            cairo_stroke(cr);
        }
        if (hardpoint.revolute) {
            SetColour(cr, RevoluteColour);
            cairo_new_sub_path(cr);
            cairo_arc(cr, at.x, at.y, marks.ring, 0, 2 * std::numbers::pi);
            cairo_stroke(cr);
        }
    }

    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 0.8 * textSize);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    LabelPlacer placer(cr, view.GetPanel(), std::move(markBoxes));
    for (std::size_t h = 0; h < scene.hardpoints.size(); ++h) {
        const std::string label = HardpointLabel(scene.hardpoints[h]);
        const std::array<double, 2> at =
            placer.Place(label, places[h].x, places[h].y, marks.ring + marks.line);
        cairo_move_to(cr, at[0], at[1]);
        cairo_text_path(cr, label.c_str());
        cairo_set_source_rgba(cr, BackgroundColour.red, BackgroundColour.green,
                              BackgroundColour.blue, 0.75);
        cairo_set_line_width(cr, 3);
        cairo_stroke_preserve(cr);
        SetColour(cr, TextColour);
        cairo_fill(cr);
    }

    SetColour(cr, HardpointColour);
    for (const ViewPoint& at : places) {
        cairo_new_sub_path(cr);
        cairo_arc(cr, at.x, at.y, marks.dot, 0, 2 * std::numbers::pi);
        cairo_fill(cr);
    }
}

void DrawPanel(cairo_t* cr, const PictureScene& scene, const PictureLayout& layout,
               const PanelView& view) {
    const PixelBox& panel = view.GetPanel();
    const double textSize = layout.textSize;
    cairo_save(cr);
    cairo_rectangle(cr, panel.left, panel.top, panel.width, panel.height);
    cairo_clip(cr);

    DrawTriangles(cr, scene, view);
    DrawHardpoints(cr, scene, view, textSize);

    const double left = view.GetDrawingArea().left;
    SetColour(cr, TextColour);
    cairo_set_font_size(cr, textSize);
    ShowText(cr, left, panel.top + 1.6 * textSize, view.GetTitle(), true);
    const double bottom = panel.top + panel.height - 0.9 * textSize;
    if (scene.hasMeshData) {
        ShowText(cr, left, bottom,
                 FormatSceneSize(scene.meshBox.GetSize()) + "  (width x height x length)");
    } else {
        ShowText(cr, left, bottom,
                 scene.hardpoints.empty() ? "No mesh data and no hardpoints"
                                          : "No mesh data: the hardpoints alone");
    }
    cairo_restore(cr);

    SetColour(cr, FrameColour);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, panel.left + 0.5, panel.top + 0.5, panel.width - 1, panel.height - 1);
    cairo_stroke(cr);
}

cairo_status_t AppendPng(void* closure, const unsigned char* data, unsigned int length) {
    try {
        static_cast<Bytes*>(closure)->insert(static_cast<Bytes*>(closure)->end(), data,
                                             data + length);
        return CAIRO_STATUS_SUCCESS;
    } catch (const std::bad_alloc&) {
        return CAIRO_STATUS_NO_MEMORY;
    }
}

Error CairoFailed(ErrorCode code, const char* what, cairo_status_t status) {
    return Error{code, std::string(what) + ": " + cairo_status_to_string(status), std::nullopt};
}

}  // namespace

Result<PictureSurface> DrawPicture(const PictureScene& scene, const PictureLayout& layout) {
    PictureSurface surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, layout.width, layout.height));
    if (const cairo_status_t status = cairo_surface_status(surface.get());
        status != CAIRO_STATUS_SUCCESS) {
        return CairoFailed(ErrorCode::OutOfMemory, "cannot make the picture", status);
    }
    const Context context(cairo_create(surface.get()));
    cairo_t* cr = context.get();
    SetColour(cr, BackgroundColour);
    cairo_paint(cr);
    for (const PanelView& view : layout.views) {
        DrawPanel(cr, scene, layout, view);
    }
    cairo_surface_flush(surface.get());
    if (const cairo_status_t status = cairo_status(cr); status != CAIRO_STATUS_SUCCESS) {
        return CairoFailed(ErrorCode::OutOfMemory, "cannot draw the picture", status);
    }
    return surface;
}

Result<Bytes> EncodePng(cairo_surface_t* surface) {
    Bytes png;
    if (const cairo_status_t status = cairo_surface_write_to_png_stream(surface, AppendPng, &png);
        status != CAIRO_STATUS_SUCCESS) {
        return CairoFailed(
            status == CAIRO_STATUS_NO_MEMORY ? ErrorCode::OutOfMemory : ErrorCode::CannotWrite,
            "cannot encode the picture as PNG", status);
    }
    return png;
}

}  // namespace cmp
