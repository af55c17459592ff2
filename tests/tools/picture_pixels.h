// Reading the pixels of a drawn picture, for the tests of the drawing and of the program
// that writes it.
#pragma once

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "tools/cmpinfo/picture/picture.h"

namespace cmp {

// A colour as an opaque pixel of an image surface holds it (0xRRGGBB), found by having
// Cairo paint it.
inline std::uint32_t Painted(const PictureColour& colour) {
    cairo_surface_t* one = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    cairo_t* cr = cairo_create(one);
    cairo_set_source_rgb(cr, colour.red, colour.green, colour.blue);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(one);
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, cairo_image_surface_get_data(one), 4);
    cairo_surface_destroy(one);
    return pixel & 0xFFFFFF;
}

// The pixel that holds the point (x, y) as 0xRRGGBB; a point outside is a test failure.
inline std::uint32_t PixelAt(cairo_surface_t* surface, double x, double y) {
    const int column = static_cast<int>(std::floor(x));
    const int row = static_cast<int>(std::floor(y));
    if (column < 0 || row < 0 || column >= cairo_image_surface_get_width(surface) ||
        row >= cairo_image_surface_get_height(surface)) {
        ADD_FAILURE() << "(" << x << ", " << y << ") is outside the picture";
        return 0;
    }
    std::uint32_t pixel = 0;
    std::memcpy(&pixel,
                cairo_image_surface_get_data(surface) +
                    row * cairo_image_surface_get_stride(surface) + 4 * column,
                4);
    return pixel & 0xFFFFFF;
}

}  // namespace cmp
