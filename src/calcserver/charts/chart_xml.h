#pragma once
// A chart part (DrawingML "chartSpace") built from a legacy chart: its groups as column,
// bar, line, pie, doughnut, area or scatter charts, each series with its references and
// the values the chart showed last, the title, the axes and the legend.

#include <string>

#include "calcserver/charts/chart_records.h"

namespace tabrook::calcserver::charts {

// The part's XML. A reference without decoded text is written as the literal values the
// chart showed. Requires Writable(chart).
std::string ChartSpaceXml(const Chart& chart);

}  // namespace tabrook::calcserver::charts
