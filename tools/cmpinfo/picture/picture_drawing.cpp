#include "tools/cmpinfo/picture/picture.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <new>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "core/text.h"
#include "tools/cmpinfo/read/read.h"

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

// Every triangle, farthest first, each filled in its material's colour as lit from over
// the viewer's shoulder. A face is lit on the side the viewer sees, whichever way it
// winds, so that open and one-sided meshes read as solid. Each fill is stroked in its
// own colour too, which closes the hairline gaps that smoothed edges leave between
// neighbours.
void DrawTriangles(cairo_t* cr, const PictureScene& scene, const PanelView& view) {
    // Each triangle's depth and place: sixteen bytes, however many triangles a file holds.
    struct Placed {
        double depth;
        std::size_t triangle;
    };
    const auto project = [&](const SceneTriangle& triangle) {
        const std::array<Point3, 3> corners = scene.CornersOf(triangle);
        return std::array<ViewPoint, 3>{view.Project(corners[0]), view.Project(corners[1]),
                                        view.Project(corners[2])};
    };
    std::vector<Placed> placed;
    placed.reserve(scene.triangles.size());
    for (std::size_t t = 0; t < scene.triangles.size(); ++t) {
        const std::array<ViewPoint, 3> corners = project(scene.triangles[t]);
        placed.push_back({(corners[0].depth + corners[1].depth + corners[2].depth) / 3, t});
    }
    std::stable_sort(placed.begin(), placed.end(),
                     [](const Placed& a, const Placed& b) { return a.depth > b.depth; });

    const Point3 light = view.GetLight();
    cairo_set_line_width(cr, 0.75);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_BEVEL);
    for (const Placed& p : placed) {
        const SceneTriangle& triangle = scene.triangles[p.triangle];
        const auto [a, b, c] = scene.CornersOf(triangle);
        const Point3 centre = {(a[0] + b[0] + c[0]) / 3, (a[1] + b[1] + c[1]) / 3,
                               (a[2] + b[2] + c[2]) / 3};
        const Point3 normal = scene.NormalOf(triangle);
        const double facing = Dot(normal, view.TowardViewer(centre)) < 0 ? -1 : 1;
        const double lit = std::max(0.0, facing * Dot(normal, light));
        const PictureColour& colour =
            MaterialColours[triangle.material % std::size(MaterialColours)];
        SetColour(cr, colour, Ambient + (1 - Ambient) * lit);
        const std::array<ViewPoint, 3> corners = project(triangle);
        cairo_move_to(cr, corners[0].x, corners[0].y);
        cairo_line_to(cr, corners[1].x, corners[1].y);
        cairo_line_to(cr, corners[2].x, corners[2].y);
        cairo_close_path(cr);
        cairo_fill_preserve(cr);
        cairo_stroke(cr);
    }
}

std::string HardpointLabel(const SceneHardpoint& hardpoint) {
    std::string label =
        hardpoint.name.empty() ? "(no name)" : TerminalText(CutName(hardpoint.name));
    return hardpoint.revolute ? label + " (revolute)" : label;
}

// Every hardpoint's name as drawn and its width, measured once for the four panels.
struct HardpointLabels {
    double fontSize = 0;
    std::vector<std::string> texts;
    std::vector<double> widths;
};

HardpointLabels MeasureLabels(cairo_t* cr, const PictureScene& scene, double textSize) {
    HardpointLabels labels;
    labels.fontSize = 0.8 * textSize;
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, labels.fontSize);
    labels.texts.reserve(scene.hardpoints.size());
    labels.widths.reserve(scene.hardpoints.size());
    for (const SceneHardpoint& hardpoint : scene.hardpoints) {
        labels.texts.push_back(HardpointLabel(hardpoint));
        cairo_text_extents_t extents;
        cairo_text_extents(cr, labels.texts.back().c_str(), &extents);
        labels.widths.push_back(extents.x_advance);
    }
    return labels;
}

// Marks are drawn a few dozen to a path: one path per mark costs Cairo's setup for each,
// one path for thousands makes its scan converter weigh them all on every row of pixels.
constexpr std::size_t MarksPerPath = 64;

// Strokes the path after every MarksPerPath-th hardpoint (counting from 0 with `h`).
void StrokeEvery(cairo_t* cr, std::size_t h) {
    if ((h + 1) % MarksPerPath == 0) {
        cairo_stroke(cr);
    }
}

// Every hardpoint where it is: its orientation's rows as a cross of three coloured
// strokes and a ring round a revolute one; then the names that find room beside their
// hardpoints (PlaceHardpointNames), each on a pale ground that keeps it legible over the model;
// then, over all of them, a dot at each position, so that no other mark hides where a
// hardpoint is. Returns how many names were left out.
std::size_t DrawHardpoints(cairo_t* cr, const PictureScene& scene, const PanelView& view,
                           double textSize, const HardpointLabels& labels) {
    const MarkSizes marks = GetMarkSizes(textSize);
    std::vector<ViewPoint> places;
    places.reserve(scene.hardpoints.size());
    for (const SceneHardpoint& hardpoint : scene.hardpoints) {
        places.push_back(view.Project(hardpoint.position));
    }

    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, marks.line);
    for (int row = 0; row < 3; ++row) {
        SetColour(cr, RowColours[row]);
        for (std::size_t h = 0; h < scene.hardpoints.size(); ++h) {
            const SceneHardpoint& hardpoint = scene.hardpoints[h];
            if (hardpoint.rowDrawn[row]) {
                const std::array<double, 2> along = view.ProjectDirection(hardpoint.rows[row]);
                cairo_move_to(cr, places[h].x, places[h].y);
                cairo_line_to(cr, places[h].x + marks.arm * along[0],
                              places[h].y + marks.arm * along[1]);
            }
            StrokeEvery(cr, h);
        }
        cairo_stroke(cr);
    }
    SetColour(cr, RevoluteColour);
    for (std::size_t h = 0; h < scene.hardpoints.size(); ++h) {
        if (scene.hardpoints[h].revolute) {
            cairo_new_sub_path(cr);
            cairo_arc(cr, places[h].x, places[h].y, marks.ring, 0, 2 * std::numbers::pi);
        }
        StrokeEvery(cr, h);
    }
    cairo_stroke(cr);

    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, labels.fontSize);
    cairo_font_extents_t font;
    cairo_font_extents(cr, &font);
    const double line = font.ascent + font.descent;
    const NamePlaces names =
        PlaceHardpointNames(scene, view, textSize, labels.widths, {font.ascent, line});
    for (std::size_t h = 0; h < scene.hardpoints.size(); ++h) {
        const std::optional<std::array<double, 2>>& at = names.places[h];
        if (!at) {
            continue;
        }
        cairo_set_source_rgba(cr, BackgroundColour.red, BackgroundColour.green,
                              BackgroundColour.blue, 0.75);
        cairo_rectangle(cr, (*at)[0], (*at)[1] - font.ascent, labels.widths[h], line);
        cairo_fill(cr);
        SetColour(cr, TextColour);
        cairo_move_to(cr, (*at)[0], (*at)[1]);
        cairo_show_text(cr, labels.texts[h].c_str());
    }

    SetColour(cr, HardpointColour);
    for (std::size_t h = 0; h < places.size(); ++h) {
        cairo_new_sub_path(cr);
        cairo_arc(cr, places[h].x, places[h].y, marks.dot, 0, 2 * std::numbers::pi);
        if ((h + 1) % MarksPerPath == 0) {
            cairo_fill(cr);
        }
    }
    cairo_fill(cr);
    return names.hidden;
}

// The first of `forms` that ends within `width` pixels at `size`, with its baseline's start
// at (x, y); when none does, the last, made as small as it must be to fit. (A font's
// hinted widths do not shrink quite in proportion, so the size is tried again.)
void ShowFittedText(cairo_t* cr, double x, double y, double width, double size,
                    const CaptionLine& forms, bool bold = false) {
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    const auto advance = [cr](const std::string& text) {
        cairo_text_extents_t extents{};
        cairo_text_extents(cr, text.c_str(), &extents);
        return extents.x_advance;
    };
    const std::string* shown = &forms.back();
    for (const std::string& text : forms) {
        if (advance(text) <= width) {
            shown = &text;
            break;
        }
    }
    for (int attempt = 0; attempt < 8 && width > 0; ++attempt) {
        const double wide = advance(*shown);
        if (wide <= width) {
            break;
        }
        size *= 0.98 * width / wide;
        cairo_set_font_size(cr, size);
    }
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, shown->c_str());
}

void DrawPanel(cairo_t* cr, const PictureScene& scene, const PictureLayout& layout,
               const PanelView& view, const HardpointLabels& labels) {
    const PixelBox& panel = view.GetPanel();
    const double textSize = layout.textSize;
    cairo_save(cr);
    cairo_rectangle(cr, panel.left, panel.top, panel.width, panel.height);
    cairo_clip(cr);

    DrawTriangles(cr, scene, view);
    const std::size_t hidden = DrawHardpoints(cr, scene, view, textSize, labels);

    // Title and caption keep the drawing area's margin on both sides.
    const double left = view.GetDrawingArea().left;
    const double width = panel.width - 2 * (left - panel.left);
    SetColour(cr, TextColour);
    ShowFittedText(cr, left, panel.top + 1.6 * textSize, width, textSize, {view.GetTitle()}, true);
    const std::vector<CaptionLine> caption = GetPanelCaption(scene, hidden);
    double baseline = panel.top + panel.height - 0.9 * textSize;
    for (auto line = caption.rbegin(); line != caption.rend(); ++line) {
        ShowFittedText(cr, left, baseline, width, textSize, *line);
        baseline -= 1.2 * textSize;
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
    const HardpointLabels labels = MeasureLabels(cr, scene, layout.textSize);
    for (const PanelView& view : layout.views) {
        DrawPanel(cr, scene, layout, view, labels);
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
