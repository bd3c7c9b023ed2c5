#include "calcserver/objects/form_control_anchors.h"

#include <array>
#include <cstdlib>
#include <deque>
#include <map>
#include <string>
#include <string_view>

#include "calcserver/package/xml_names.h"

namespace tabrook::calcserver::objects {
namespace {

using package::ChildNamed;
using package::LocalName;

// Column, offset, row, offset of the top-left and bottom-right corners; offsets in pixels.
using VmlAnchor = std::array<long, 8>;

constexpr long kEmuPerPixel = 9525;

// The office writes an offset past the cell's edge as a negative number; such an anchor only
// serves to tell where a control begins.
bool ParseAnchor(std::string_view text, VmlAnchor& anchor, bool negativeOffsets = false) {
    std::string copy(text);
    const char* at = copy.c_str();
    for (long& value : anchor) {
        char* end = nullptr;
        value = std::strtol(at, &end, 10);
        if (end == at || (value < 0 && !negativeOffsets)) {
            return false;
        }
        at = end;
        while (*at == ',' || *at == ' ') {
            ++at;
        }
    }
    return *at == '\0';
}

// The anchors of the legacy drawing's controls by shape name, in drawing order.
std::map<std::string, std::deque<VmlAnchor>> ControlAnchors(pugi::xml_node vml,
                                                            bool negativeOffsets = false) {
    std::map<std::string, std::deque<VmlAnchor>> anchors;
    for (const pugi::xml_node shape : vml.children()) {
        const pugi::xml_node data = ChildNamed(shape, "ClientData");
        const std::string_view kind = data.attribute("ObjectType").value();
        if (LocalName(shape) != "shape" || kind.empty() || kind == "Note" || kind == "Pict") {
            continue;
        }
        VmlAnchor anchor{};
        if (ParseAnchor(ChildNamed(data, "Anchor").child_value(), anchor, negativeOffsets) &&
            anchor[0] >= 0 && anchor[2] >= 0) {
            anchors[shape.attribute("ID").value()].push_back(anchor);
        }
    }
    return anchors;
}

// Whether a from/to pair holds nothing but zeros.
bool IsEmptyPlacement(pugi::xml_node from, pugi::xml_node to) {
    if (!from || !to) {
        return false;
    }
    for (const pugi::xml_node corner : {from, to}) {
        for (const pugi::xml_node part : corner.children()) {
            if (std::string_view(part.child_value()) != "0") {
                return false;
            }
        }
    }
    return true;
}

void SetCorner(pugi::xml_node corner, long column, long columnOffset, long row, long rowOffset) {
    for (pugi::xml_node part : corner.children()) {
        const std::string_view name = LocalName(part);
        const long value = name == "col"      ? column
                           : name == "colOff" ? columnOffset * kEmuPerPixel
                           : name == "row"    ? row
                                              : rowOffset * kEmuPerPixel;
        part.text() = static_cast<long long>(value);
    }
}

void Place(pugi::xml_node from, pugi::xml_node to, const VmlAnchor& anchor) {
    SetCorner(from, anchor[0], anchor[1], anchor[2], anchor[3]);
    SetCorner(to, anchor[4], anchor[5], anchor[6], anchor[7]);
}

}  // namespace

std::vector<DrawnControl> DrawnFormControls(pugi::xml_node vml) {
    std::vector<DrawnControl> drawn;
    for (const auto& [name, anchors] : ControlAnchors(vml, true)) {
        for (const VmlAnchor& anchor : anchors) {
            drawn.push_back(DrawnControl{name, anchor[0], anchor[2]});
        }
    }
    return drawn;
}

std::size_t PlaceFormControls(pugi::xml_node worksheet, pugi::xml_node vml,
                              pugi::xml_node drawing) {
    std::map<std::string, std::deque<VmlAnchor>> anchors = ControlAnchors(vml);
    std::map<std::string, VmlAnchor> byShapeId;
    std::size_t placed = 0;
    for (const pugi::xpath_node found : worksheet.select_nodes("//*[local-name()='controlPr']")) {
        const pugi::xml_node properties = found.node();
        const pugi::xml_node anchor = ChildNamed(properties, "anchor");
        const pugi::xml_node from = ChildNamed(anchor, "from");
        const pugi::xml_node to = ChildNamed(anchor, "to");
        auto named = anchors.find(properties.attribute("altText").value());
        if (!IsEmptyPlacement(from, to) || named == anchors.end() || named->second.empty()) {
            continue;
        }
        const VmlAnchor cells = named->second.front();
        named->second.pop_front();
        Place(from, to, cells);
        byShapeId[properties.parent().attribute("shapeId").value()] = cells;
        ++placed;
    }
    if (!drawing) {
        return placed;
    }
    for (const pugi::xpath_node found : drawing.select_nodes("//*[local-name()='twoCellAnchor']")) {
        const pugi::xml_node anchor = found.node();
        const pugi::xpath_node names = anchor.select_node(".//*[local-name()='cNvPr']");
        const auto cells = byShapeId.find(names ? names.node().attribute("id").value() : "");
        const pugi::xml_node from = ChildNamed(anchor, "from");
        const pugi::xml_node to = ChildNamed(anchor, "to");
        if (cells != byShapeId.end() && IsEmptyPlacement(from, to)) {
            Place(from, to, cells->second);
        }
    }
    return placed;
}

}  // namespace tabrook::calcserver::objects
