// `cmpinfo --render OUT.png [--size WxH] FILE`: the picture of the model of a file that
// passed every check, written to OUT as PNG.
#pragma once

#include <string>
#include <string_view>

#include "core/error.h"

namespace cmp {

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

}  // namespace cmp
