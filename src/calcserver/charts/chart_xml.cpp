#include "calcserver/charts/chart_xml.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <pugixml.hpp>

#include "calcserver/package/package_xml.h"

namespace tabrook::calcserver::charts {
namespace {

// Axis ids: any numbers, unique within the chart; the secondary axes pair up the same way.
constexpr unsigned kCategoryAxisId = 50010;
constexpr unsigned kValueAxisId = 50020;
constexpr unsigned kSecondaryOffset = 20;

std::string NumberText(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string ColorText(std::uint32_t color) {
    char text[8];
    std::snprintf(text, sizeof text, "%06X", color & 0xFFFFFFu);
    return text;
}

pugi::xml_node Add(pugi::xml_node parent, const char* local) {
    return parent.append_child((std::string("c:") + local).c_str());
}

pugi::xml_node AddValue(pugi::xml_node parent, const char* local, const std::string& value) {
    pugi::xml_node node = Add(parent, local);
    node.append_attribute("val") = value.c_str();
    return node;
}

pugi::xml_node AddValue(pugi::xml_node parent, const char* local, long long value) {
    return AddValue(parent, local, std::to_string(value));
}

bool IsPie(ChartKind kind) {
    return kind == ChartKind::Pie || kind == ChartKind::Doughnut;
}

const char* GroupingText(Grouping grouping, bool bars) {
    switch (grouping) {
        case Grouping::Stacked:
            return "stacked";
        case Grouping::PercentStacked:
            return "percentStacked";
        case Grouping::Standard:
            break;
    }
    return bars ? "clustered" : "standard";
}

const char* LegendText(LegendPosition position) {
    switch (position) {
        case LegendPosition::Bottom:
            return "b";
        case LegendPosition::Corner:
            return "tr";
        case LegendPosition::Top:
            return "t";
        case LegendPosition::Left:
            return "l";
        case LegendPosition::Right:
            break;
    }
    return "r";
}

void AddPoints(pugi::xml_node data, std::size_t count, const auto& textOf) {
    AddValue(data, "ptCount", static_cast<long long>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const std::optional<std::string> text = textOf(i);
        if (text) {
            pugi::xml_node point = Add(data, "pt");
            point.append_attribute("idx") = static_cast<unsigned long long>(i);
            Add(point, "v").text() = text->c_str();
        }
    }
}

void AddNumbers(pugi::xml_node parent, const ChartReference& reference,
                const std::vector<std::optional<double>>& cache) {
    pugi::xml_node data;
    if (!reference.text.empty()) {
        pugi::xml_node ref = Add(parent, "numRef");
        Add(ref, "f").text() = reference.text.c_str();
        data = Add(ref, "numCache");
    } else {
        data = Add(parent, "numLit");
    }
    Add(data, "formatCode").text() = "General";
    AddPoints(data, cache.size(), [&](std::size_t i) -> std::optional<std::string> {
        return cache[i] ? std::optional<std::string>(NumberText(*cache[i])) : std::nullopt;
    });
}

void AddTexts(pugi::xml_node parent, const ChartReference& reference,
              const std::vector<std::optional<std::string>>& cache) {
    pugi::xml_node data;
    if (!reference.text.empty()) {
        pugi::xml_node ref = Add(parent, "strRef");
        Add(ref, "f").text() = reference.text.c_str();
        data = Add(ref, "strCache");
    } else {
        data = Add(parent, "strLit");
    }
    AddPoints(data, cache.size(), [&](std::size_t i) { return cache[i]; });
}

// Categories (or a scatter's x values), when the series has any.
void AddCategories(pugi::xml_node ser, const ChartSeries& series, const char* local) {
    if (series.categories.text.empty() && series.cachedCategories.empty()) {
        return;
    }
    pugi::xml_node categories = Add(ser, local);
    if (series.textCategories) {
        AddTexts(categories, series.categories, series.cachedCategories);
        return;
    }
    std::vector<std::optional<double>> numbers;
    for (const auto& text : series.cachedCategories) {
        double value = 0;
        const bool parsed =
            text &&
            std::from_chars(text->data(), text->data() + text->size(), value).ec == std::errc();
        numbers.push_back(parsed ? std::optional<double>(value) : std::nullopt);
    }
    AddNumbers(categories, series.categories, numbers);
}

void AddRichText(pugi::xml_node tx, const std::string& text) {
    pugi::xml_node rich = Add(tx, "rich");
    rich.append_child("a:bodyPr");
    rich.append_child("a:lstStyle");
    pugi::xml_node run = rich.append_child("a:p").append_child("a:r");
    run.append_child("a:t").text() = text.c_str();
}

void AddTitle(pugi::xml_node parent, const ChartTitle& title) {
    if (title.text.empty() && title.reference.text.empty()) {
        return;
    }
    pugi::xml_node node = Add(parent, "title");
    pugi::xml_node tx = Add(node, "tx");
    if (!title.reference.text.empty()) {
        AddTexts(tx, title.reference, {title.text});
    } else {
        AddRichText(tx, title.text);
    }
    AddValue(node, "overlay", 0);
}

void AddShapeProperties(pugi::xml_node ser, const ChartSeries& series) {
    if (!series.fillColor && !series.lineColor && !series.noLine) {
        return;
    }
    pugi::xml_node properties = Add(ser, "spPr");
    if (series.fillColor) {
        properties.append_child("a:solidFill").append_child("a:srgbClr").append_attribute("val") =
            ColorText(*series.fillColor).c_str();
    }
    if (series.noLine) {
        properties.append_child("a:ln").append_child("a:noFill");
    } else if (series.lineColor) {
        properties.append_child("a:ln")
            .append_child("a:solidFill")
            .append_child("a:srgbClr")
            .append_attribute("val") = ColorText(*series.lineColor).c_str();
    }
}

void AddSeries(pugi::xml_node chart, const ChartSeries& series, ChartKind kind, std::size_t index) {
    pugi::xml_node ser = Add(chart, "ser");
    AddValue(ser, "idx", static_cast<long long>(index));
    AddValue(ser, "order", static_cast<long long>(index));
    if (!series.nameReference.text.empty()) {
        AddTexts(Add(ser, "tx"), series.nameReference,
                 {series.name.empty() ? std::nullopt : std::optional<std::string>(series.name)});
    } else if (!series.name.empty()) {
        Add(Add(ser, "tx"), "v").text() = series.name.c_str();
    }
    AddShapeProperties(ser, series);
    if (kind == ChartKind::Column || kind == ChartKind::Bar) {
        AddValue(ser, "invertIfNegative", 0);
    }
    if (kind == ChartKind::Line || kind == ChartKind::Scatter) {
        AddValue(Add(ser, "marker"), "symbol", "auto");
    }
    if (kind == ChartKind::Scatter) {
        AddCategories(ser, series, "xVal");
        AddNumbers(Add(ser, "yVal"), series.values, series.cachedValues);
        AddValue(ser, "smooth", 0);
        return;
    }
    AddCategories(ser, series, "cat");
    AddNumbers(Add(ser, "val"), series.values, series.cachedValues);
    if (kind == ChartKind::Line) {
        AddValue(ser, "smooth", 0);
    }
}

const char* ElementOf(ChartKind kind) {
    switch (kind) {
        case ChartKind::Column:
        case ChartKind::Bar:
            return "barChart";
        case ChartKind::Line:
            return "lineChart";
        case ChartKind::Pie:
            return "pieChart";
        case ChartKind::Doughnut:
            return "doughnutChart";
        case ChartKind::Area:
            return "areaChart";
        case ChartKind::Scatter:
            return "scatterChart";
        case ChartKind::Unsupported:
            break;
    }
    return "";
}

void AddGroup(pugi::xml_node plotArea, const Chart& chart, std::size_t groupIndex,
              std::size_t& seriesIndex) {
    const ChartGroup& group = chart.groups[groupIndex];
    pugi::xml_node element = Add(plotArea, ElementOf(group.kind));
    const bool bars = group.kind == ChartKind::Column || group.kind == ChartKind::Bar;
    if (bars) {
        AddValue(element, "barDir", group.kind == ChartKind::Bar ? "bar" : "col");
    }
    if (bars || group.kind == ChartKind::Line || group.kind == ChartKind::Area) {
        AddValue(element, "grouping", GroupingText(group.grouping, bars));
    }
    if (group.kind == ChartKind::Scatter) {
        AddValue(element, "scatterStyle", "lineMarker");
    }
    AddValue(element, "varyColors", group.varyColors ? 1 : 0);
    for (const ChartSeries& series : chart.series) {
        if (series.group == groupIndex) {
            AddSeries(element, series, group.kind, seriesIndex++);
        }
    }
    if (bars) {
        AddValue(element, "gapWidth", std::clamp(group.gapWidth, 0, 500));
        const int overlap =
            group.grouping == Grouping::Standard ? std::clamp(group.overlap, -100, 100) : 100;
        AddValue(element, "overlap", overlap);
    }
    if (group.kind == ChartKind::Line) {
        AddValue(element, "marker", 1);
    }
    if (IsPie(group.kind)) {
        AddValue(element, "firstSliceAng", group.firstSliceAngle);
        if (group.kind == ChartKind::Doughnut) {
            AddValue(element, "holeSize", group.holeSize);
        }
        return;
    }
    const unsigned offset = group.secondaryAxes ? kSecondaryOffset : 0;
    AddValue(element, "axId", kCategoryAxisId + offset);
    AddValue(element, "axId", kValueAxisId + offset);
}

// One pair of axes: categories (or a scatter's x values) crossing values.
struct AxisPair {
    bool used = false;
    bool scatter = false;     // every group on it is a scatter: both axes hold values
    bool horizontal = false;  // bars: categories run down the left
};

void AddAxes(pugi::xml_node plotArea, const Chart& chart, const AxisPair& pair, bool secondary) {
    const unsigned offset = secondary ? kSecondaryOffset : 0;
    const unsigned categoryId = kCategoryAxisId + offset;
    const unsigned valueId = kValueAxisId + offset;
    pugi::xml_node category = Add(plotArea, pair.scatter ? "valAx" : "catAx");
    AddValue(category, "axId", categoryId);
    AddValue(Add(category, "scaling"), "orientation", "minMax");
    AddValue(category, "delete", secondary ? 1 : 0);
    AddValue(category, "axPos", pair.horizontal ? "l" : "b");
    if (!secondary && chart.categoryAxisTitle) {
        AddTitle(category, *chart.categoryAxisTitle);
    }
    pugi::xml_node format = Add(category, "numFmt");
    format.append_attribute("formatCode") = "General";
    format.append_attribute("sourceLinked") = 1;
    AddValue(category, "tickLblPos", "nextTo");
    AddValue(category, "crossAx", valueId);
    AddValue(category, "crosses", "autoZero");
    if (!pair.scatter) {
        AddValue(category, "auto", 1);
        AddValue(category, "lblAlgn", "ctr");
        AddValue(category, "lblOffset", 100);
    } else {
        AddValue(category, "crossBetween", "midCat");
    }

    pugi::xml_node value = Add(plotArea, "valAx");
    AddValue(value, "axId", valueId);
    AddValue(Add(value, "scaling"), "orientation", "minMax");
    AddValue(value, "delete", 0);
    AddValue(value, "axPos", secondary ? "r" : pair.horizontal ? "b" : "l");
    if (!secondary) {
        Add(value, "majorGridlines");
        if (chart.valueAxisTitle) {
            AddTitle(value, *chart.valueAxisTitle);
        }
    }
    format = Add(value, "numFmt");
    format.append_attribute("formatCode") = "General";
    format.append_attribute("sourceLinked") = 1;
    AddValue(value, "tickLblPos", "nextTo");
    AddValue(value, "crossAx", categoryId);
    AddValue(value, "crosses", secondary ? "max" : "autoZero");
    AddValue(value, "crossBetween", pair.scatter ? "midCat" : "between");
}

}  // namespace

std::string ChartSpaceXml(const Chart& chart) {
    pugi::xml_document document;
    package::AppendDeclaration(document);
    pugi::xml_node space = document.append_child("c:chartSpace");
    space.append_attribute("xmlns:c") = "http://schemas.openxmlformats.org/drawingml/2006/chart";
    space.append_attribute("xmlns:a") = "http://schemas.openxmlformats.org/drawingml/2006/main";
    space.append_attribute("xmlns:r") =
        "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    AddValue(space, "roundedCorners", 0);
    pugi::xml_node body = Add(space, "chart");
    if (chart.title) {
        AddTitle(body, *chart.title);
    }
    AddValue(body, "autoTitleDeleted", chart.title ? 0 : 1);
    pugi::xml_node plotArea = Add(body, "plotArea");
    Add(plotArea, "layout");
    AxisPair pairs[2];
    std::size_t seriesIndex = 0;
    for (std::size_t i = 0; i < chart.groups.size(); ++i) {
        const ChartGroup& group = chart.groups[i];
        AddGroup(plotArea, chart, i, seriesIndex);
        if (IsPie(group.kind)) {
            continue;
        }
        AxisPair& pair = pairs[group.secondaryAxes ? 1 : 0];
        pair.scatter = (pair.scatter || !pair.used) && group.kind == ChartKind::Scatter;
        pair.horizontal = pair.horizontal || group.kind == ChartKind::Bar;
        pair.used = true;
    }
    for (int secondary = 0; secondary < 2; ++secondary) {
        if (pairs[secondary].used) {
            AddAxes(plotArea, chart, pairs[secondary], secondary == 1);
        }
    }
    if (chart.legend) {
        pugi::xml_node legend = Add(body, "legend");
        AddValue(legend, "legendPos", LegendText(*chart.legend));
        AddValue(legend, "overlay", 0);
    }
    AddValue(body, "plotVisOnly", 1);
    AddValue(body, "dispBlanksAs", "gap");
    return package::SavePart(document);
}

}  // namespace tabrook::calcserver::charts
