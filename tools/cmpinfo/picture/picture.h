// The picture of a model, drawn with Cairo: four flat-shaded views of its triangles,
// back to front, with its hardpoints on top, each view titled and captioned with the
// model's size; and the picture as PNG bytes.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>

#include "core/error.h"
#include "core/little_endian.h"
#include "tools/cmpinfo/picture/picture_scene.h"
#include "tools/cmpinfo/picture/picture_views.h"

namespace cmp {

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

}  // namespace cmp
