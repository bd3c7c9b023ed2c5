#include "calcserver/charts/chart_references.h"

namespace tabrook::calcserver::charts {
namespace {

// False when the reference has a formula whose text cannot stand in a chart part.
bool Decode(ChartReference& reference, const biff::FormulaContext& context) {
    if (reference.formula.empty()) {
        return true;
    }
    biff::FormulaText decoded = biff::DecodeFormula(reference.formula, context);
    // A reference into nothing is better shown by the values the chart kept.
    if (!decoded.error.empty() || decoded.text.find("#REF!") != std::string::npos) {
        reference.text.clear();
        return false;
    }
    reference.text = std::move(decoded.text);
    return true;
}

}  // namespace

std::size_t DecodeReferences(Chart& chart, const biff::FormulaContext& context) {
    std::size_t failed = 0;
    const auto decode = [&](ChartReference& reference) {
        failed += Decode(reference, context) ? 0 : 1;
    };
    for (ChartSeries& series : chart.series) {
        decode(series.nameReference);
        decode(series.values);
        decode(series.categories);
    }
    for (auto* title : {&chart.title, &chart.categoryAxisTitle, &chart.valueAxisTitle}) {
        if (*title) {
            decode((*title)->reference);
        }
    }
    return failed;
}

}  // namespace tabrook::calcserver::charts
