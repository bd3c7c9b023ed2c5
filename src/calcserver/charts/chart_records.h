#pragma once
// A chart as the records of a legacy chart substream describe it (a chart sheet, or the
// chart embedded after a sheet's chart object): its chart groups, series with their
// references as parsed formulas and the values the chart last showed, the title, axes and
// legend. Only what a rebuilt chart needs is kept.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tabrook::calcserver::charts {

enum class ChartKind { Column, Bar, Line, Pie, Doughnut, Area, Scatter, Unsupported };

enum class Grouping { Standard, Stacked, PercentStacked };

// One chart group: a CHARTFORMAT record with its chart type record.
struct ChartGroup {
    ChartKind kind = ChartKind::Unsupported;
    std::string kindName;  // the source's kind in words ("radar", "3-D column")
    Grouping grouping = Grouping::Standard;
    bool secondaryAxes = false;
    bool varyColors = false;
    int gapWidth = 150;  // bars: percent of a bar's width
    int overlap = 0;
    int firstSliceAngle = 0;  // pies
    int holeSize = 50;        // doughnuts
};

// A reference of a series or title: a parsed formula, and its text once decoded.
struct ChartReference {
    std::vector<std::uint8_t> formula;
    std::string text;  // "Sheet1!$B$2:$B$9"; empty when not decoded
};

struct ChartSeries {
    std::size_t group = 0;  // index into Chart::groups
    std::string name;       // a literal name
    ChartReference nameReference;
    ChartReference values;
    ChartReference categories;  // the x values of a scatter series
    bool textCategories = false;
    // The series' own colours as 0xRRGGBB where the source sets them, and whether it draws
    // no line (a scatter of markers only).
    std::optional<std::uint32_t> fillColor;
    std::optional<std::uint32_t> lineColor;
    bool noLine = false;
    // What the chart showed last, by point; an empty cell has no value.
    std::vector<std::optional<double>> cachedValues;
    std::vector<std::optional<std::string>> cachedCategories;
};

// A title, typed in or linked to a cell.
struct ChartTitle {
    std::string text;
    ChartReference reference;
};

enum class LegendPosition { Bottom, Corner, Top, Right, Left };

struct Chart {
    std::vector<ChartGroup> groups;
    std::vector<ChartSeries> series;
    std::optional<ChartTitle> title;
    std::optional<ChartTitle> categoryAxisTitle;
    std::optional<ChartTitle> valueAxisTitle;
    std::optional<LegendPosition> legend;
    std::vector<std::string> notes;  // what was read only in part, and why
};

// Bounds on what one chart may hold: Excel's own limits.
inline constexpr std::size_t kMaxSeries = 255;
inline constexpr std::size_t kMaxPoints = 32000;
// Cached cells over all series of a chart.
inline constexpr std::size_t kMaxCachedCells = std::size_t{1} << 20;
inline constexpr int kMaxChartNesting = 32;

// Reads the records of one chart substream, from its BOF to its EOF. Throws
// biff::BiffError when a record is cut off or the nesting goes past its bound; a chart
// without a chart group is returned with none.
Chart ReadChart(std::span<const std::uint8_t> substream);

// "column", "3-D pie", ...: the kind of the chart's first group, for messages.
std::string KindName(const Chart& chart);
// Whether every group is of a kind the writer can build.
bool Writable(const Chart& chart);

}  // namespace tabrook::calcserver::charts
