#include "calcserver/objects/drawing_frames.h"

#include <algorithm>

#include "calcserver/package/xml_names.h"

namespace tabrook::calcserver::objects {
namespace {

constexpr long long kEmuPerPixel = 9525;
constexpr std::string_view kChartNs = "http://schemas.openxmlformats.org/drawingml/2006/chart";

void AppendCell(pugi::xml_node parent, const std::string& xdr, const char* name,
                std::uint16_t column, int columnOffset, std::uint16_t row, int rowOffset) {
    pugi::xml_node cell = parent.append_child((xdr + name).c_str());
    cell.append_child((xdr + "col").c_str()).text() = column;
    cell.append_child((xdr + "colOff").c_str()).text() = columnOffset * kEmuPerPixel;
    cell.append_child((xdr + "row").c_str()).text() = row;
    cell.append_child((xdr + "rowOff").c_str()).text() = rowOffset * kEmuPerPixel;
}

bool IsChartFrame(pugi::xml_node anchor) {
    for (const pugi::xpath_node data : anchor.select_nodes(".//*[@uri]")) {
        if (package::LocalName(data.node()) == "graphicData" &&
            std::string_view(data.node().attribute("uri").value()) == kChartNs) {
            return true;
        }
    }
    return false;
}

bool Near(std::uint32_t a, std::uint32_t b) {
    return (a > b ? a - b : b - a) <= 1;
}

}  // namespace

std::string PrefixOf(pugi::xml_node root, std::string_view ns, const char* fallback) {
    for (const pugi::xml_attribute attribute : root.attributes()) {
        const std::string_view name = attribute.name();
        if (name.substr(0, 6) == "xmlns:" && attribute.value() == ns) {
            return std::string(name.substr(6));
        }
    }
    root.append_attribute((std::string("xmlns:") + fallback).c_str()) = std::string(ns).c_str();
    return fallback;
}

FrameAnchor AppendFrameAnchor(pugi::xml_node root, pugi::xml_node parent, unsigned shapeId,
                              const std::string& name, const PixelBox& box,
                              const CellAnchor& cells) {
    const std::string xdr = PrefixOf(root, kSpreadsheetDrawingNs, "xdr") + ":";
    const std::string a = PrefixOf(root, kDrawingMainNs, "a") + ":";
    FrameAnchor added;
    added.anchor = parent.append_child((xdr + "twoCellAnchor").c_str());
    AppendCell(added.anchor, xdr, "from", cells.firstColumn, box.firstColumnOffset, cells.firstRow,
               box.firstRowOffset);
    AppendCell(added.anchor, xdr, "to", cells.lastColumn, box.lastColumnOffset, cells.lastRow,
               box.lastRowOffset);
    pugi::xml_node frame = added.anchor.append_child((xdr + "graphicFrame").c_str());
    frame.append_attribute("macro") = "";
    pugi::xml_node properties = frame.append_child((xdr + "nvGraphicFramePr").c_str());
    pugi::xml_node names = properties.append_child((xdr + "cNvPr").c_str());
    names.append_attribute("id") = shapeId;
    names.append_attribute("name") = name.c_str();
    properties.append_child((xdr + "cNvGraphicFramePr").c_str());
    pugi::xml_node transform = frame.append_child((xdr + "xfrm").c_str());
    pugi::xml_node offset = transform.append_child((a + "off").c_str());
    offset.append_attribute("x") = static_cast<long long>(box.left * kEmuPerPixel);
    offset.append_attribute("y") = static_cast<long long>(box.top * kEmuPerPixel);
    pugi::xml_node extent = transform.append_child((a + "ext").c_str());
    extent.append_attribute("cx") = static_cast<long long>(box.width * kEmuPerPixel);
    extent.append_attribute("cy") = static_cast<long long>(box.height * kEmuPerPixel);
    added.graphicData =
        frame.append_child((a + "graphic").c_str()).append_child((a + "graphicData").c_str());
    added.anchor.append_child((xdr + "clientData").c_str());
    return added;
}

void AppendChartFrame(pugi::xml_node root, unsigned shapeId, const PixelBox& box,
                      const CellAnchor& cells, const std::string& chartId) {
    const std::string r = PrefixOf(root, kRelationshipsNs, "r");
    FrameAnchor added =
        AppendFrameAnchor(root, root, shapeId, "Chart " + std::to_string(shapeId), box, cells);
    added.graphicData.append_attribute("uri") = std::string(kChartNs).c_str();
    pugi::xml_node chart = added.graphicData.append_child("c:chart");
    chart.append_attribute("xmlns:c") = std::string(kChartNs).c_str();
    chart.append_attribute((r + ":id").c_str()) = chartId.c_str();
}

std::vector<FramePosition> ChartFramesIn(pugi::xml_node root) {
    std::vector<FramePosition> frames;
    for (const pugi::xpath_node node : root.select_nodes(".//*")) {
        const std::string_view local = package::LocalName(node.node());
        if ((local != "twoCellAnchor" && local != "oneCellAnchor" && local != "absoluteAnchor") ||
            !IsChartFrame(node.node())) {
            continue;
        }
        const pugi::xml_node from = package::ChildNamed(node.node(), "from");
        frames.push_back(FramePosition{package::ChildNamed(from, "col").text().as_uint(),
                                       package::ChildNamed(from, "row").text().as_uint()});
    }
    return frames;
}

std::vector<std::size_t> MissingCharts(const std::vector<SheetChart>& charts,
                                       std::vector<FramePosition> frames) {
    std::vector<std::size_t> missing;
    // The office may move a chart a little: as many frames as charts means none is lost.
    if (frames.size() >= charts.size()) {
        return missing;
    }
    const std::size_t lost = charts.size() - frames.size();
    std::vector<bool> placed(charts.size(), false);
    for (std::size_t i = 0; i < charts.size(); ++i) {
        const auto& anchor = charts[i].anchor;
        if (!anchor) {
            continue;
        }
        const auto found = std::find_if(frames.begin(), frames.end(), [&](const auto& frame) {
            return Near(frame.column, anchor->firstColumn) && Near(frame.row, anchor->firstRow);
        });
        if (found != frames.end()) {
            frames.erase(found);
            placed[i] = true;
        }
    }
    for (std::size_t i = 0; i < charts.size(); ++i) {
        if (!placed[i] && !charts[i].anchor && !frames.empty()) {
            frames.pop_back();
            placed[i] = true;
        }
        if (!placed[i] && missing.size() < lost) {
            missing.push_back(i);
        }
    }
    return missing;
}

unsigned HighestFrameId(pugi::xml_node root) {
    unsigned highest = 0;
    for (const pugi::xpath_node node : root.select_nodes(".//*[@id]")) {
        if (package::LocalName(node.node()) == "cNvPr") {
            highest = std::max(highest, node.node().attribute("id").as_uint());
        }
    }
    return highest;
}

}  // namespace tabrook::calcserver::objects
