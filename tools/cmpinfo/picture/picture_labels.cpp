#include "tools/cmpinfo/picture/picture.h"

#include <algorithm>
#include <cmath>

namespace cmp {

LabelPlacer::LabelPlacer(const PixelBox& panel, double ascent, double lineHeight)
    : panel_(panel),
      ascent_(ascent),
      lineHeight_(lineHeight),
      cellSize_(std::max(4.0, lineHeight)),
      columns_(static_cast<std::size_t>(std::ceil(std::max(1.0, panel.width) / cellSize_))),
      rows_(static_cast<std::size_t>(std::ceil(std::max(1.0, panel.height) / cellSize_))),
      cells_(columns_ * rows_) {}

std::optional<LabelPlacer::CellRange> LabelPlacer::CellsOf(const LabelBox& box) const {
    const double left = box.left - panel_.left;
    const double right = box.right - panel_.left;
    const double top = box.top - panel_.top;
    const double bottom = box.bottom - panel_.top;
    // Also false for a box whose edges are not numbers.
    if (!(right >= 0 && left < panel_.width && bottom >= 0 && top < panel_.height)) {
        return std::nullopt;
    }
    const auto cell = [&](double at, std::size_t count) {
        return std::min(count - 1, static_cast<std::size_t>(std::max(0.0, at) / cellSize_));
    };
    return CellRange{cell(left, columns_), cell(right, columns_), cell(top, rows_),
                     cell(bottom, rows_)};
}

void LabelPlacer::Take(const LabelBox& box) {
    const std::optional<CellRange> range = CellsOf(box);
    if (!range) {
        return;
    }
    const std::size_t place = boxes_.size();
    bool kept = false;
    for (std::size_t row = range->firstRow; row <= range->lastRow; ++row) {
        for (std::size_t column = range->firstColumn; column <= range->lastColumn; ++column) {
            Cell& cell = cells_[row * columns_ + column];
            if (cell.boxes++ < CrowdedCell) {
                cell.kept.push_back(place);
                kept = true;
            }
        }
    }
    if (kept) {
        boxes_.push_back(box);
    }
}

bool LabelPlacer::IsFree(const LabelBox& box) const {
    const std::optional<CellRange> range = CellsOf(box);
    if (!range) {
        return true;
    }
    for (std::size_t row = range->firstRow; row <= range->lastRow; ++row) {
        for (std::size_t column = range->firstColumn; column <= range->lastColumn; ++column) {
            const Cell& cell = cells_[row * columns_ + column];
            if (cell.boxes > CrowdedCell) {
                return false;
            }
            for (const std::size_t place : cell.kept) {
                if (box.Overlaps(boxes_[place])) {
                    return false;
                }
            }
        }
    }
    return true;
}

void LabelPlacer::AddMark(const LabelBox& box) {
    Take(box);
}

std::optional<std::array<double, 2>> LabelPlacer::Place(double x, double y, double reach,
                                                        double width) {
    const double above = y - reach;
    const double below = y + reach + ascent_;
    for (int shift = 0; shift < 4; ++shift) {
        for (const std::array<double, 2>& at :
             {std::array<double, 2>{x + reach, above - shift * lineHeight_},
              {x + reach, below + shift * lineHeight_},
              {x - reach - width, above - shift * lineHeight_},
              {x - reach - width, below + shift * lineHeight_}}) {
            const LabelBox box = {at[0], at[1] - ascent_, at[0] + width,
                                  at[1] - ascent_ + lineHeight_};
            if (box.left < panel_.left || box.right > panel_.left + panel_.width ||
                box.top < panel_.top || box.bottom > panel_.top + panel_.height) {
                continue;
            }
            if (IsFree(box)) {
                Take(box);
                return at;
            }
        }
    }
    ++hidden_;
    return std::nullopt;
}

NamePlaces PlaceHardpointNames(const PictureScene& scene, const PanelView& view, double textSize,
                               const std::vector<double>& widths, const NameFont& font) {
    const MarkSizes marks = GetMarkSizes(textSize);
    const PixelBox& panel = view.GetPanel();
    LabelPlacer placer(panel, font.ascent, font.lineHeight);
    placer.AddMark(
        {panel.left, panel.top, panel.left + panel.width, panel.top + TitleBand * textSize});
    placer.AddMark({panel.left, panel.top + panel.height - CaptionBand * textSize,
                    panel.left + panel.width, panel.top + panel.height});
    std::vector<ViewPoint> dots;
    dots.reserve(scene.hardpoints.size());
    for (const SceneHardpoint& hardpoint : scene.hardpoints) {
        const ViewPoint& at = dots.emplace_back(view.Project(hardpoint.position));
        placer.AddMark(
            {at.x - marks.ring, at.y - marks.ring, at.x + marks.ring, at.y + marks.ring});
    }
    NamePlaces names;
    names.places.reserve(dots.size());
    for (std::size_t h = 0; h < dots.size(); ++h) {
        names.places.push_back(
            placer.Place(dots[h].x, dots[h].y, marks.ring + marks.line, widths[h]));
    }
    names.hidden = placer.GetHidden();
    return names;
}

}  // namespace cmp
