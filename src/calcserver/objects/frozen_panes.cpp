#include "calcserver/objects/frozen_panes.h"

#include <string>
#include <string_view>

#include "calcserver/biff/record_cursor.h"
#include "calcserver/package/xml_names.h"
#include "calcserver/xlsb/cell_ref.h"

namespace tabrook::calcserver::objects {
namespace {

using package::ChildNamed;
using package::LocalName;

constexpr std::uint16_t kWindowFrozen = 0x0008;
constexpr std::uint16_t kWindowFrozenNoSplit = 0x0100;

const char* PaneName(const FrozenPane& pane) {
    // With one split only two panes exist, whatever the record says is active.
    if (pane.columns == 0) {
        return "bottomLeft";
    }
    if (pane.rows == 0) {
        return "topRight";
    }
    switch (pane.activePane) {
        case 1:
            return "topRight";
        case 2:
            return "bottomLeft";
        case 3:
            return "topLeft";
        default:
            return "bottomRight";
    }
}

// The worksheet's first view, made when the office wrote none; sheetViews follows only
// sheetPr and dimension.
pugi::xml_node FirstView(pugi::xml_node worksheet) {
    pugi::xml_node views = ChildNamed(worksheet, "sheetViews");
    if (!views) {
        pugi::xml_node after;
        for (pugi::xml_node child : worksheet.children()) {
            if (LocalName(child) == "sheetPr" || LocalName(child) == "dimension") {
                after = child;
            }
        }
        const std::string name = package::WithPrefixOf(worksheet, "sheetViews");
        views = after ? worksheet.insert_child_after(name.c_str(), after)
                      : worksheet.prepend_child(name.c_str());
    }
    for (pugi::xml_node view : views.children()) {
        if (LocalName(view) == "sheetView" && view.attribute("workbookViewId").as_uint(0) == 0) {
            return view;
        }
    }
    pugi::xml_node view =
        views.prepend_child(package::WithPrefixOf(worksheet, "sheetView").c_str());
    view.append_attribute("workbookViewId") = 0;
    return view;
}

}  // namespace

std::optional<FrozenPane> FrozenPaneOf(std::span<const std::uint8_t> window2,
                                       std::span<const std::uint8_t> pane) {
    if (window2.size() < 2 || pane.size() < 9) {
        return std::nullopt;
    }
    biff::FieldReader window(window2);
    const std::uint16_t flags = window.U16();
    if ((flags & kWindowFrozen) == 0) {
        return std::nullopt;
    }
    biff::FieldReader fields(pane);
    FrozenPane frozen;
    frozen.columns = fields.U16();
    frozen.rows = fields.U16();
    frozen.topRow = fields.U16();
    frozen.leftColumn = fields.U16();
    frozen.activePane = fields.U8();
    frozen.split = (flags & kWindowFrozenNoSplit) == 0;
    // Beyond the legacy grid the numbers are not a freeze but a split in twips.
    if (frozen.columns > 255 || frozen.leftColumn > 255 ||
        (frozen.columns == 0 && frozen.rows == 0)) {
        return std::nullopt;
    }
    return frozen;
}

bool RestoreFrozenPane(pugi::xml_node worksheet, const FrozenPane& pane) {
    if (pane.columns == 0 && pane.rows == 0) {
        return false;
    }
    pugi::xml_node view = FirstView(worksheet);
    pugi::xml_node existing = ChildNamed(view, "pane");
    if (existing) {
        const std::string_view state = existing.attribute("state").value();
        if (state == "frozen" || state == "frozenSplit") {
            return false;
        }
        view.remove_child(existing);  // a plain split: the freeze replaces it
    }
    const char* active = PaneName(pane);
    const std::string topLeft = xlsb::CellName(
        {.row = pane.rows == 0 ? 0 : pane.topRow, .col = pane.columns == 0 ? 0 : pane.leftColumn});
    pugi::xml_node element = view.prepend_child(package::WithPrefixOf(worksheet, "pane").c_str());
    if (pane.columns > 0) {
        element.append_attribute("xSplit") = pane.columns;
    }
    if (pane.rows > 0) {
        element.append_attribute("ySplit") = pane.rows;
    }
    element.append_attribute("topLeftCell") = topLeft.c_str();
    element.append_attribute("activePane") = active;
    element.append_attribute("state") = pane.split ? "frozenSplit" : "frozen";
    for (pugi::xml_node selection : view.children()) {
        if (LocalName(selection) == "selection" &&
            std::string_view(selection.attribute("pane").as_string("topLeft")) == active) {
            return true;
        }
    }
    pugi::xml_node selection =
        view.insert_child_after(package::WithPrefixOf(worksheet, "selection").c_str(), element);
    selection.append_attribute("pane") = active;
    selection.append_attribute("activeCell") = topLeft.c_str();
    selection.append_attribute("sqref") = topLeft.c_str();
    return true;
}

}  // namespace tabrook::calcserver::objects
