#pragma once
// The references of a chart (series names, values, categories, linked titles) as the text a
// chart part holds, decoded from their parsed formulas.

#include "calcserver/biff/formula_text.h"
#include "calcserver/charts/chart_records.h"

namespace tabrook::calcserver::charts {

// Fills in the text of each reference that decodes to cells. One that does not (an unknown
// sheet entry, a deleted sheet's #REF!) keeps no text, and the chart shows the values it
// showed last. Returns how many references have a formula that did not decode.
std::size_t DecodeReferences(Chart& chart, const biff::FormulaContext& context);

}  // namespace tabrook::calcserver::charts
