// Where the names of hardpoints go in one panel of the picture: beside their dots, never
// over another name or another hardpoint's marks. A name that finds no such place is
// left out and counted, so that a model of thousands of hardpoints shows as many names
// as there is room for, each legible, in time that grows no faster than their number.
// Pure geometry in pixels; the drawing is elsewhere.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "tools/cmpinfo/picture/picture_scene.h"
#include "tools/cmpinfo/picture/picture_views.h"

namespace cmp {

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

}  // namespace cmp
