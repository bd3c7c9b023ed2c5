#pragma once
// Where cells lie on a converted sheet, in pixels at 96 dpi, from the column widths and row
// heights its part holds: the legacy records place objects by cell and fraction of a cell,
// drawings by pixels and points.

#include <cstdint>
#include <map>
#include <pugixml.hpp>
#include <string>

#include "calcserver/objects/source_objects.h"

namespace tabrook::calcserver::objects {

struct PixelBox {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    // The anchor's offsets within its first and last cells, in pixels.
    int firstColumnOffset = 0;
    int firstRowOffset = 0;
    int lastColumnOffset = 0;
    int lastRowOffset = 0;
};

// The column or row under a point, and the point's offset into it in pixels.
struct CellPoint {
    std::uint32_t index = 0;
    int offset = 0;
};

class SheetGeometry {
  public:
    // `worksheet` is the sheet part's document.
    explicit SheetGeometry(const pugi::xml_document& worksheet);

    int ColumnWidth(std::uint32_t column) const;
    int RowHeight(std::uint32_t row) const;
    double ColumnLeft(std::uint32_t column) const;
    double RowTop(std::uint32_t row) const;
    PixelBox Place(const CellAnchor& anchor) const;
    // A member of a group: where it lies within the group's box, and the cells it spans
    // (written to `cells`).
    PixelBox PlaceGrouped(const GroupedAnchor& grouped, CellAnchor& cells) const;
    CellPoint ColumnAt(double x) const;
    CellPoint RowAt(double y) const;

  private:
    int defaultColumn_ = 64;
    int defaultRow_ = 20;
    std::map<std::uint32_t, int> columns_;  // 0-based column -> pixels, where not default
    std::map<std::uint32_t, int> rows_;     // 0-based row -> pixels, where not default
};

// How a shape of the legacy drawing states its place: the style ("position:absolute;
// margin-left:...pt;...") and the ClientData anchor ("1, 5, 2, 0, 3, 10, 6, 0").
std::string LegacyShapeStyle(const PixelBox& box);
std::string LegacyAnchorText(const CellAnchor& cells, const PixelBox& box);

}  // namespace tabrook::calcserver::objects
