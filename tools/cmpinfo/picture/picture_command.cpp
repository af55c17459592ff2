#include "tools/cmpinfo/picture/picture.h"

#include <charconv>
#include <optional>

#include "core/text.h"
#include "files/files.h"
#include "tools/cmpinfo/read/read.h"
#include "tools/cmpinfo/report/report.h"

namespace cmp {

namespace {

constexpr int ExitDrawn = 0;
constexpr int ExitTrouble = 2;

Error Usage(const std::string& message) {
    return Error{ErrorCode::BadUsage, message, std::nullopt};
}

// A whole number of pixels from `text`: digits only, no sign or spaces.
std::optional<int> ReadSide(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    if (text.empty() || text[0] < '0' || text[0] > '9') {
        return std::nullopt;
    }
    const auto [stop, failure] = std::from_chars(text.data(), end, value);
    if (failure != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

int Trouble(const std::string& message) {
    TellUser(message);
    return ExitTrouble;
}

}  // namespace

Result<PictureRequest> ReadPictureOptions(const char* out, const char* size, bool otherMode) {
    if (!out) {
        return Usage("--size goes with --render");
    }
    if (otherMode) {
        return Usage("--render makes a picture, not a report: leave out --check and --json");
    }
    PictureRequest request;
    request.path = out;
    if (request.path.empty()) {
        return Usage("--render needs a file name for the picture");
    }
    if (size) {
        const std::string_view text = size;
        const std::size_t cross = text.find_first_of("xX");
        const std::optional<int> width =
            cross == std::string_view::npos ? std::nullopt : ReadSide(text.substr(0, cross));
        const std::optional<int> height =
            cross == std::string_view::npos ? std::nullopt : ReadSide(text.substr(cross + 1));
        if (!width || !height || *width < SmallestPictureWidth || *width > LargestPictureSide ||
            *height < SmallestPictureHeight || *height > LargestPictureSide) {
            return Usage("--size takes WIDTHxHEIGHT in pixels, from " +
                         std::to_string(SmallestPictureWidth) + "x" +
                         std::to_string(SmallestPictureHeight) + " to " +
                         std::to_string(LargestPictureSide) + "x" +
                         std::to_string(LargestPictureSide) + ", not '" + TerminalText(text) + "'");
        }
        request.width = *width;
        request.height = *height;
    }
    return request;
}

int RenderPicture(const PictureRequest& request, const std::string& path) {
#ifndef CMPINFO_DRAWS_PICTURES
    (void)request;
    (void)path;
    return Trouble("this build cannot draw pictures");
#else
    const Result<StoredModel> model = LoadCheckedModel(path);
    if (!model) {
        return Trouble(model.message());
    }
    if (IsSameFile(request.path, path)) {
        return Trouble(request.path + ": the picture would replace the file it is drawn from");
    }

    const PictureScene scene = BuildPictureScene(model.value());
    if (!scene.hasMeshData) {
        TellUser(path + ": no mesh data; the picture shows " +
                 (scene.hardpoints.empty() ? "no model at all" : "the hardpoints alone"));
    }
    std::string leftOut;
    if (scene.trianglesNotFinite > 0) {
        leftOut = Plural(scene.trianglesNotFinite, "triangle", "triangles");
    }
    if (scene.hardpointsNotFinite > 0) {
        leftOut += (leftOut.empty() ? "" : " and ") +
                   Plural(scene.hardpointsNotFinite, "hardpoint", "hardpoints");
    }
    if (!leftOut.empty()) {
        TellUser(path + ": left out of the picture for coordinates that are not finite numbers: " +
                 leftOut);
    }

    const PictureLayout layout = LayOutPicture(scene, request.width, request.height);
    const Result<PictureSurface> surface = DrawPicture(scene, layout);
    if (!surface) {
        return Trouble(surface.message());
    }
    const Result<Bytes> png = EncodePng(surface.value().get());
    if (!png) {
        return Trouble(png.message());
    }
    if (const Status written = WriteRequestedFile(request.path, png.value()); !written) {
        return Trouble("cannot write the picture: " + written.message());
    }
    return ExitDrawn;
#endif
}

}  // namespace cmp
