#pragma once
// Graphic frames in a sheet's drawing part: the anchor an added object or chart sits in, and
// the charts a drawing holds already.

#include <cstddef>
#include <cstdint>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "calcserver/objects/sheet_geometry.h"
#include "calcserver/objects/source_objects.h"

namespace tabrook::calcserver::objects {

inline constexpr std::string_view kRelationshipsNs =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline constexpr std::string_view kSpreadsheetDrawingNs =
    "http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing";
inline constexpr std::string_view kDrawingMainNs =
    "http://schemas.openxmlformats.org/drawingml/2006/main";

// The prefix the element's document binds to the namespace, declaring `fallback` for it on
// the root when none is bound.
std::string PrefixOf(pugi::xml_node root, std::string_view ns, const char* fallback);

struct FrameAnchor {
    pugi::xml_node anchor;       // the two-cell anchor
    pugi::xml_node graphicData;  // inside its frame, for the caller to fill
};

// A two-cell anchor under `parent` placed at `cells` (offsets from `box`) that holds a
// graphic frame numbered `shapeId`; `root` is the drawing's root, where prefixes are bound.
FrameAnchor AppendFrameAnchor(pugi::xml_node root, pugi::xml_node parent, unsigned shapeId,
                              const std::string& name, const PixelBox& box,
                              const CellAnchor& cells);

// A chart frame naming the chart part related as `chartId`.
void AppendChartFrame(pugi::xml_node root, unsigned shapeId, const PixelBox& box,
                      const CellAnchor& cells, const std::string& chartId);

// The top-left cell of each chart frame of a drawing.
struct FramePosition {
    std::uint32_t column = 0;
    std::uint32_t row = 0;
};
std::vector<FramePosition> ChartFramesIn(pugi::xml_node root);

// Which of a sheet's source charts (by index) have no chart frame at their place: a frame
// within a cell of a chart's top-left corner stands for it, each frame for one chart. A
// chart without a placement (a chart sheet's) takes any frame left.
std::vector<std::size_t> MissingCharts(const std::vector<SheetChart>& charts,
                                       std::vector<FramePosition> frames);

// The highest shape id of a drawing's frames and shapes.
unsigned HighestFrameId(pugi::xml_node root);

}  // namespace tabrook::calcserver::objects
