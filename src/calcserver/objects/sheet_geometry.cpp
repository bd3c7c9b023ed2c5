#include "calcserver/objects/sheet_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "calcserver/input_limits.h"
#include "calcserver/package/xml_names.h"

namespace tabrook::calcserver::objects {
namespace {

using package::ChildNamed;
using package::LocalName;

// The index under `position` along sizes that are `standard` except where `sizes` says.
CellPoint PointAt(double position, int standard, const std::map<std::uint32_t, int>& sizes,
                  std::uint32_t count) {
    double start = 0;
    std::uint32_t index = 0;
    const auto within = [&](std::uint32_t upTo) -> std::optional<CellPoint> {
        if (standard <= 0 || upTo <= index) {
            return std::nullopt;
        }
        const double span = static_cast<double>(upTo - index) * standard;
        if (position < start + span) {
            const auto steps = static_cast<std::uint32_t>((position - start) / standard);
            return CellPoint{
                index + steps,
                static_cast<int>(std::lround(position - start - double(steps) * standard))};
        }
        start += span;
        index = upTo;
        return std::nullopt;
    };
    for (const auto& [at, size] : sizes) {
        if (const auto found = within(at)) {
            return *found;
        }
        index = at;
        if (position < start + size) {
            return CellPoint{at, static_cast<int>(std::lround(position - start))};
        }
        start += size;
        index = at + 1;
    }
    if (const auto found = within(count)) {
        return *found;
    }
    return CellPoint{count - 1, 0};
}

// A width in characters of the standard font's widest digit (7 pixels) as pixels, the way
// Excel rounds it; a height in points as pixels at 96 dpi.
int WidthPixels(double characters) {
    return static_cast<int>(std::clamp((characters + 18.0 / 256.0) * 7.0, 0.0, 1e5));
}
int HeightPixels(double points) {
    return static_cast<int>(std::lround(std::clamp(points, 0.0, 1e4) * 96.0 / 72.0));
}

}  // namespace

SheetGeometry::SheetGeometry(const pugi::xml_document& worksheet) {
    const pugi::xml_node root = worksheet.document_element();
    if (const pugi::xml_node format = ChildNamed(root, "sheetFormatPr")) {
        if (const auto width = format.attribute("defaultColWidth")) {
            defaultColumn_ = WidthPixels(width.as_double());
        } else if (const auto base = format.attribute("baseColWidth")) {
            defaultColumn_ = WidthPixels(base.as_double() + 0.71);
        }
        if (const auto height = format.attribute("defaultRowHeight")) {
            defaultRow_ = HeightPixels(height.as_double());
        }
    }
    for (const pugi::xml_node column : ChildNamed(root, "cols").children()) {
        if (LocalName(column) != "col" || !column.attribute("width")) {
            continue;
        }
        const std::uint32_t first = column.attribute("min").as_uint();
        const std::uint32_t last = std::min(column.attribute("max").as_uint(), kGridColumns);
        const int pixels = column.attribute("hidden").as_bool()
                               ? 0
                               : WidthPixels(column.attribute("width").as_double());
        for (std::uint32_t c = std::max(first, 1u); c <= last && pixels != defaultColumn_; ++c) {
            columns_[c - 1] = pixels;
        }
    }
    for (const pugi::xml_node row : ChildNamed(root, "sheetData").children()) {
        const std::uint32_t number = row.attribute("r").as_uint();
        if (LocalName(row) != "row" || number == 0 || number > kGridRows) {
            continue;
        }
        int pixels = defaultRow_;
        if (row.attribute("hidden").as_bool()) {
            pixels = 0;
        } else if (const auto height = row.attribute("ht")) {
            pixels = HeightPixels(height.as_double());
        }
        if (pixels != defaultRow_) {
            rows_[number - 1] = pixels;
        }
    }
}

int SheetGeometry::ColumnWidth(std::uint32_t column) const {
    const auto found = columns_.find(column);
    return found != columns_.end() ? found->second : defaultColumn_;
}

int SheetGeometry::RowHeight(std::uint32_t row) const {
    const auto found = rows_.find(row);
    return found != rows_.end() ? found->second : defaultRow_;
}

double SheetGeometry::ColumnLeft(std::uint32_t column) const {
    double left = static_cast<double>(column) * defaultColumn_;
    for (auto it = columns_.begin(); it != columns_.end() && it->first < column; ++it) {
        left += it->second - defaultColumn_;
    }
    return left;
}

double SheetGeometry::RowTop(std::uint32_t row) const {
    double top = static_cast<double>(row) * defaultRow_;
    for (auto it = rows_.begin(); it != rows_.end() && it->first < row; ++it) {
        top += it->second - defaultRow_;
    }
    return top;
}

CellPoint SheetGeometry::ColumnAt(double x) const {
    return PointAt(std::max(x, 0.0), defaultColumn_, columns_, kGridColumns);
}

CellPoint SheetGeometry::RowAt(double y) const {
    return PointAt(std::max(y, 0.0), defaultRow_, rows_, kGridRows);
}

PixelBox SheetGeometry::PlaceGrouped(const GroupedAnchor& grouped, CellAnchor& cells) const {
    const PixelBox group = Place(grouped.group);
    const auto& space = grouped.groupSpace;
    const double spaceWidth = std::max(1, space[2] - space[0]);
    const double spaceHeight = std::max(1, space[3] - space[1]);
    const auto x = [&](std::int32_t at) {
        return group.left + (static_cast<double>(at) - space[0]) / spaceWidth * group.width;
    };
    const auto y = [&](std::int32_t at) {
        return group.top + (static_cast<double>(at) - space[1]) / spaceHeight * group.height;
    };
    PixelBox box;
    box.left = x(grouped.shape[0]);
    box.top = y(grouped.shape[1]);
    box.width = std::max(x(grouped.shape[2]) - box.left, 1.0);
    box.height = std::max(y(grouped.shape[3]) - box.top, 1.0);
    const CellPoint first = ColumnAt(box.left);
    const CellPoint top = RowAt(box.top);
    const CellPoint last = ColumnAt(box.left + box.width);
    const CellPoint bottom = RowAt(box.top + box.height);
    // The legacy drawing counts columns and rows as the legacy records do, in 16 bits.
    const auto narrow = [](std::uint32_t index) {
        return static_cast<std::uint16_t>(std::min<std::uint32_t>(index, 0xFFFF));
    };
    cells.firstColumn = narrow(first.index);
    cells.firstRow = narrow(top.index);
    cells.lastColumn = narrow(last.index);
    cells.lastRow = narrow(bottom.index);
    box.firstColumnOffset = first.offset;
    box.firstRowOffset = top.offset;
    box.lastColumnOffset = last.offset;
    box.lastRowOffset = bottom.offset;
    return box;
}

PixelBox SheetGeometry::Place(const CellAnchor& anchor) const {
    PixelBox box;
    // Offsets past the end of their cell are kept inside it, as Excel reads them.
    const auto part = [](std::uint16_t offset, double whole, int size) {
        return static_cast<int>(std::lround(std::min(offset / whole, 1.0) * size));
    };
    box.firstColumnOffset = part(anchor.firstColumnOffset, 1024.0, ColumnWidth(anchor.firstColumn));
    box.firstRowOffset = part(anchor.firstRowOffset, 256.0, RowHeight(anchor.firstRow));
    box.lastColumnOffset = part(anchor.lastColumnOffset, 1024.0, ColumnWidth(anchor.lastColumn));
    box.lastRowOffset = part(anchor.lastRowOffset, 256.0, RowHeight(anchor.lastRow));
    box.left = ColumnLeft(anchor.firstColumn) + box.firstColumnOffset;
    box.top = RowTop(anchor.firstRow) + box.firstRowOffset;
    const double right = ColumnLeft(anchor.lastColumn) + box.lastColumnOffset;
    const double bottom = RowTop(anchor.lastRow) + box.lastRowOffset;
    box.width = std::max(right - box.left, 1.0);
    box.height = std::max(bottom - box.top, 1.0);
    return box;
}

namespace {

std::string Points(double pixels) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2fpt", pixels * 0.75);
    return text;
}

}  // namespace

std::string LegacyShapeStyle(const PixelBox& box) {
    return "position:absolute;margin-left:" + Points(box.left) + ";margin-top:" + Points(box.top) +
           ";width:" + Points(box.width) + ";height:" + Points(box.height) + ";z-index:1";
}

std::string LegacyAnchorText(const CellAnchor& cells, const PixelBox& box) {
    return std::to_string(cells.firstColumn) + ", " + std::to_string(box.firstColumnOffset) + ", " +
           std::to_string(cells.firstRow) + ", " + std::to_string(box.firstRowOffset) + ", " +
           std::to_string(cells.lastColumn) + ", " + std::to_string(box.lastColumnOffset) + ", " +
           std::to_string(cells.lastRow) + ", " + std::to_string(box.lastRowOffset);
}

}  // namespace tabrook::calcserver::objects
