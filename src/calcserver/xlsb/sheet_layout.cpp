#include "calcserver/xlsb/sheet_layout.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <pugixml.hpp>
#include <set>

#include "calcserver/xlsb/ooxml_text.h"
#include "calcserver/xlsb/record_ids.h"
#include "calcserver/xlsb/styles_writer.h"

namespace tabrook::calcserver::xlsb {
namespace {

void WriteViews(RecordSink& sink, std::vector<SheetView>& views) {
    if (views.empty()) {
        views.push_back({});
    }
    sink.Write(rec::kBeginWsViews);
    for (const SheetView& view : views) {
        const AttrMap& v = view.attributes;
        std::uint16_t flags = 0x0200;  // default grid colour
        flags |= ParseBool(Get(v, "showFormulas"), false) ? 0x0002 : 0;
        flags |= ParseBool(Get(v, "showGridLines"), true) ? 0x0004 : 0;
        flags |= ParseBool(Get(v, "showRowColHeaders"), true) ? 0x0008 : 0;
        flags |= ParseBool(Get(v, "showZeros"), true) ? 0x0010 : 0;
        flags |= ParseBool(Get(v, "rightToLeft"), false) ? 0x0020 : 0;
        flags |= ParseBool(Get(v, "tabSelected"), false) ? 0x0040 : 0;
        flags |= 0x0080;  // ruler in page layout
        flags |= ParseBool(Get(v, "showOutlineSymbols"), true) ? 0x0100 : 0;
        const std::string kind = Str(Get(v, "view"));
        const std::uint32_t layout = kind == "pageBreakPreview" ? 1 : kind == "pageLayout" ? 2 : 0;
        const auto topLeft = ParseCellAddress(Str(Get(v, "topLeftCell"))).value_or(CellAddress{});
        const auto zoom = static_cast<std::uint16_t>(
            std::clamp<long long>(ParseInt(Get(v, "zoomScale")).value_or(100), 10, 400));
        sink.Write(rec::kBeginWsView, Body()
                                          .U16(flags)
                                          .U32(layout)
                                          .I32(topLeft.row)
                                          .I32(topLeft.col)
                                          .U8(64)
                                          .U8(0)
                                          .U16(zoom)
                                          .U16(0)
                                          .U16(0)
                                          .U16(0)
                                          .U32(0));
        if (!view.pane.empty()) {
            const AttrMap& p = view.pane;
            const std::string state = Str(Get(p, "state"));
            const std::string active = Str(Get(p, "activePane"));
            const std::uint32_t pane = active == "topRight"     ? 1
                                       : active == "bottomLeft" ? 2
                                       : active == "topLeft"    ? 3
                                                                : 0;
            const auto paneTopLeft =
                ParseCellAddress(Str(Get(p, "topLeftCell"))).value_or(CellAddress{});
            std::uint8_t paneFlags = 0;
            paneFlags |= (state == "frozen" || state == "frozenSplit") ? 0x1 : 0;
            paneFlags |= state == "frozen" ? 0x2 : 0;
            sink.Write(rec::kPane, Body()
                                       .F64(ParseDouble(Get(p, "xSplit")).value_or(0))
                                       .F64(ParseDouble(Get(p, "ySplit")).value_or(0))
                                       .I32(paneTopLeft.row)
                                       .I32(paneTopLeft.col)
                                       .U32(pane)
                                       .U8(paneFlags));
        }
        sink.Write(rec::kEndWsView);
    }
    sink.Write(rec::kEndWsViews);
}

// The legacy 16-bit password hash and what stays allowed. Office Open XML says which
// actions are locked; the binary record says which are allowed.
void WriteProtection(RecordSink& sink, const AttrMap& protection) {
    if (protection.empty()) {
        return;
    }
    const std::string password = Str(Get(protection, "password"));
    const auto hash = static_cast<std::uint16_t>(std::strtoul(password.c_str(), nullptr, 16));
    Body body;
    body.U16(hash).U32(ParseBool(Get(protection, "sheet"), false) ? 1 : 0);
    static constexpr std::pair<const char*, bool> kLocks[] = {
        {"objects", false},      {"scenarios", false},         {"formatCells", true},
        {"formatColumns", true}, {"formatRows", true},         {"insertColumns", true},
        {"insertRows", true},    {"insertHyperlinks", true},   {"deleteColumns", true},
        {"deleteRows", true},    {"selectLockedCells", false}, {"sort", true},
        {"autoFilter", true},    {"pivotTables", true},        {"selectUnlockedCells", false},
    };
    for (const auto& [key, lockedByDefault] : kLocks) {
        body.U32(ParseBool(Get(protection, key), lockedByDefault) ? 0 : 1);
    }
    sink.Write(rec::kSheetProtection, body);
}

// Print options, margins, page setup, header and footer, in the order the format has.
void WritePageSettings(RecordSink& sink, const SheetTail& tail) {
    if (!tail.printOptions.empty()) {
        std::uint16_t flags = 0;
        flags |= ParseBool(Get(tail.printOptions, "horizontalCentered"), false) ? 0x1 : 0;
        flags |= ParseBool(Get(tail.printOptions, "verticalCentered"), false) ? 0x2 : 0;
        flags |= ParseBool(Get(tail.printOptions, "headings"), false) ? 0x4 : 0;
        flags |= ParseBool(Get(tail.printOptions, "gridLines"), false) ? 0x8 : 0;
        sink.Write(rec::kPrintOptions, Body().U16(flags));
    }
    if (!tail.margins.empty()) {
        Body body;
        for (const char* side : {"left", "right", "top", "bottom", "header", "footer"}) {
            body.F64(ParseDouble(Get(tail.margins, side)).value_or(0.5));
        }
        sink.Write(rec::kMargins, body);
    }
    if (!tail.pageSetup.empty()) {
        const AttrMap& p = tail.pageSetup;
        const auto number = [&p](const char* key, long long fallback) {
            return static_cast<std::int32_t>(std::clamp<long long>(
                ParseInt(Get(p, key)).value_or(fallback), INT32_MIN, INT32_MAX));
        };
        const std::string orientation = Str(Get(p, "orientation"));
        const std::string comments = Str(Get(p, "cellComments"));
        const std::string errors = Str(Get(p, "errors"));
        std::uint16_t flags = 0;
        flags |= Str(Get(p, "pageOrder")) == "overThenDown" ? 0x0001 : 0;
        flags |= orientation == "landscape" ? 0x0002 : 0;
        flags |= ParseBool(Get(p, "usePrinterDefaults"), false) ? 0x0004 : 0;
        flags |= ParseBool(Get(p, "blackAndWhite"), false) ? 0x0008 : 0;
        flags |= ParseBool(Get(p, "draft"), false) ? 0x0010 : 0;
        flags |= comments == "asDisplayed" || comments == "atEnd" ? 0x0020 : 0;
        flags |= orientation.empty() || orientation == "default" ? 0x0040 : 0;
        flags |= ParseBool(Get(p, "useFirstPageNumber"), false) ? 0x0080 : 0;
        flags |= comments == "atEnd" ? 0x0100 : 0;
        flags |= static_cast<std::uint16_t>((errors == "blank"  ? 1
                                             : errors == "dash" ? 2
                                             : errors == "NA"   ? 3
                                                                : 0)
                                            << 9);
        const char* id = Get(p, "id");
        sink.Write(
            rec::kPageSetup,
            Body()
                .I32(number("paperSize", 1))
                .I32(number("scale", 100))
                .I32(number("horizontalDpi", 600))
                .I32(number("verticalDpi", 600))
                .I32(number("copies", 1))
                .I32(number("firstPageNumber", 1))
                .I32(number("fitToWidth", 1))
                .I32(number("fitToHeight", 1))
                .U16(flags)
                .NullableWideString(id != nullptr ? std::optional<std::string>(id) : std::nullopt));
    }
    if (!tail.headerFooter.empty()) {
        std::uint16_t flags = 0;
        flags |= ParseBool(Get(tail.headerFooter, "differentOddEven"), false) ? 0x1 : 0;
        flags |= ParseBool(Get(tail.headerFooter, "differentFirst"), false) ? 0x2 : 0;
        flags |= ParseBool(Get(tail.headerFooter, "scaleWithDoc"), true) ? 0x4 : 0;
        flags |= ParseBool(Get(tail.headerFooter, "alignWithMargins"), true) ? 0x8 : 0;
        Body body;
        body.U16(flags);
        for (const char* part :
             {"oddHeader", "oddFooter", "evenHeader", "evenFooter", "firstHeader", "firstFooter"}) {
            const auto found = tail.headerFooterTexts.find(part);
            body.NullableWideString(found == tail.headerFooterTexts.end()
                                        ? std::nullopt
                                        : std::optional<std::string>(DecodeEscapes(found->second)));
        }
        sink.Write(rec::kHeaderFooter, body);
    }
}

// ActiveX controls, each drawn by its shape in the legacy drawing; its state is the part
// its relationship names. A repeated shape id (an alternate form of the same control) is
// left out.
void WriteControls(RecordSink& sink, const std::vector<AttrMap>& controls) {
    std::set<std::uint32_t> written;
    for (const AttrMap& control : controls) {
        const auto shapeId = static_cast<std::uint32_t>(
            std::strtoul(Str(Get(control, "shapeId")).c_str(), nullptr, 10));
        if (shapeId == 0 || !written.insert(shapeId).second) {
            continue;
        }
        if (written.size() == 1) {
            sink.Write(rec::kBeginActiveXControls);
        }
        sink.Write(rec::kActiveX, Body()
                                      .U32(shapeId)
                                      .NullableWideString(Str(Get(control, "id")))
                                      .WideString(Str(Get(control, "name"))));
    }
    if (!written.empty()) {
        sink.Write(rec::kEndActiveXControls);
    }
}

}  // namespace

std::string Str(const char* text) {
    return text != nullptr ? text : "";
}

AttrMap Keep(const Attributes& attributes, std::initializer_list<const char*> names) {
    AttrMap out;
    for (const char* name : names) {
        if (const char* value = attributes.Get(name)) {
            out.emplace(name, value);
        }
    }
    return out;
}

const char* Get(const AttrMap& map, std::string_view key) {
    const auto found = map.find(key);
    return found == map.end() ? nullptr : found->second.c_str();
}

void AppendRange(Body& body, const CellRange& range) {
    body.I32(range.first.row).I32(range.last.row).I32(range.first.col).I32(range.last.col);
}

double WriteSheetHead(RecordSink& sink, SheetHead& head) {
    sink.Write(rec::kBeginSheet);

    std::uint16_t flags1 = 0x0001;  // automatic page breaks shown
    flags1 |= ParseBool(Get(head.outline, "applyStyles"), false) ? 0x0020 : 0;
    flags1 |= ParseBool(Get(head.outline, "summaryBelow"), true) ? 0x0040 : 0;
    flags1 |= ParseBool(Get(head.outline, "summaryRight"), true) ? 0x0080 : 0;
    flags1 |= head.fitToPage ? 0x0100 : 0;
    flags1 |= ParseBool(Get(head.outline, "showOutlineSymbols"), true) ? 0x0400 : 0;
    const std::uint8_t flags2 =
        ParseBool(Get(head.sheetProperties, "filterMode"), false) ? 0x01 : 0x00;
    Body properties;
    properties.U16(flags1).U8(flags2);
    pugi::xml_document color;
    pugi::xml_node tab = color.append_child("tabColor");
    for (const auto& [key, value] : head.tabColor) {
        tab.append_attribute(key.c_str()).set_value(value.c_str());
    }
    AppendColor(properties, head.tabColor.empty() ? pugi::xml_node() : tab);
    properties.I32(-1).I32(-1).WideString(Str(Get(head.sheetProperties, "codeName")));
    sink.Write(rec::kWsProp, properties);

    Body dimension;
    AppendRange(dimension, head.dimension.value_or(CellRange{}));
    sink.Write(rec::kWsDim, dimension);

    WriteViews(sink, head.views);

    const double defaultRowHeight =
        ParseDouble(Get(head.format, "defaultRowHeight")).value_or(15.0);
    const auto defaultWidth = ParseDouble(Get(head.format, "defaultColWidth"));
    std::uint16_t formatFlags = 0;
    formatFlags |= ParseBool(Get(head.format, "customHeight"), false) ? 0x1 : 0;
    formatFlags |= ParseBool(Get(head.format, "zeroHeight"), false) ? 0x2 : 0;
    sink.Write(
        rec::kWsFmtInfo,
        Body()
            .U32(defaultWidth ? static_cast<std::uint32_t>(std::lround(*defaultWidth * 256))
                              : 0xFFFFFFFFu)
            .U16(static_cast<std::uint16_t>(ParseInt(Get(head.format, "baseColWidth")).value_or(8)))
            .U16(static_cast<std::uint16_t>(std::lround(defaultRowHeight * 20)))
            .U16(formatFlags)
            .U8(static_cast<std::uint8_t>(
                ParseInt(Get(head.format, "outlineLevelRow")).value_or(0)))
            .U8(static_cast<std::uint8_t>(
                ParseInt(Get(head.format, "outlineLevelCol")).value_or(0))));

    if (!head.columns.empty()) {
        sink.Write(rec::kBeginColInfos);
        for (const AttrMap& col : head.columns) {
            const auto first = ParseInt(Get(col, "min")).value_or(1) - 1;
            const auto last = ParseInt(Get(col, "max")).value_or(first + 1) - 1;
            if (first < 0 || last < first || last > kMaxCol) {
                continue;
            }
            std::uint16_t flags = 0;
            flags |= ParseBool(Get(col, "hidden"), false) ? 0x0001 : 0;
            flags |= ParseBool(Get(col, "customWidth"), false) ? 0x0002 : 0;
            flags |= ParseBool(Get(col, "bestFit"), false) ? 0x0004 : 0;
            flags |= static_cast<std::uint16_t>(
                (ParseInt(Get(col, "outlineLevel")).value_or(0) & 0x7) << 8);
            flags |= ParseBool(Get(col, "collapsed"), false) ? 0x1000 : 0;
            const double width =
                std::clamp(ParseDouble(Get(col, "width")).value_or(8.43), 0.0, 255.0);
            sink.Write(rec::kColInfo,
                       Body()
                           .I32(static_cast<std::int32_t>(first))
                           .I32(static_cast<std::int32_t>(last))
                           .U32(static_cast<std::uint32_t>(std::lround(width * 256)))
                           .U32(static_cast<std::uint32_t>(ParseInt(Get(col, "style")).value_or(0)))
                           .U16(flags));
        }
        sink.Write(rec::kEndColInfos);
    }
    return defaultRowHeight;
}

namespace {

// Embedded objects, each drawn by its shape in the legacy drawing; the object's data is the
// part its relationship names. One shape has one object: a repeated id (an alternate
// form of the same object) is left out.
void WriteOleObjects(RecordSink& sink, const std::vector<AttrMap>& objects) {
    constexpr std::uint32_t kAspectContent = 1;
    constexpr std::uint32_t kAspectIcon = 4;
    std::set<std::uint32_t> written;
    for (const AttrMap& object : objects) {
        const std::uint32_t shapeId = static_cast<std::uint32_t>(
            std::strtoul(Str(Get(object, "shapeId")).c_str(), nullptr, 10));
        if (shapeId == 0 || !written.insert(shapeId).second) {
            continue;
        }
        if (written.size() == 1) {
            sink.Write(rec::kBeginOleObjects);
        }
        const char* progId = Get(object, "progId");
        Body body;
        body.U32(Str(Get(object, "dvAspect")) == "DVASPECT_ICON" ? kAspectIcon : kAspectContent)
            .U32(0)  // no update: the object is embedded, not linked
            .U32(shapeId)
            .U32(0)
            .NullableWideString(progId != nullptr ? std::optional<std::string>(progId)
                                                  : std::nullopt)
            .NullableWideString(Str(Get(object, "id")));
        sink.Write(rec::kOleObject, body);
    }
    if (!written.empty()) {
        sink.Write(rec::kEndOleObjects);
    }
}

}  // namespace

void WriteSheetTail(RecordSink& sink, const SheetTail& tail) {
    WriteProtection(sink, tail.protection);
    sink.WriteFramed(tail.autoFilter);
    if (!tail.merges.empty()) {
        sink.Write(rec::kBeginMergeCells,
                   Body().U32(static_cast<std::uint32_t>(tail.merges.size())));
        for (const CellRange& range : tail.merges) {
            Body body;
            AppendRange(body, range);
            sink.Write(rec::kMergeCell, body);
        }
        sink.Write(rec::kEndMergeCells);
    }
    sink.WriteFramed(tail.conditionalFormats);
    sink.WriteFramed(tail.validations);
    for (const AttrMap& link : tail.hyperlinks) {
        const auto range = ParseCellRange(Str(Get(link, "ref")));
        if (!range) {
            continue;
        }
        Body body;
        AppendRange(body, *range);
        const char* id = Get(link, "id");
        body.NullableWideString(id != nullptr ? std::optional<std::string>(id) : std::nullopt)
            .WideString(Str(Get(link, "location")))
            .WideString(Str(Get(link, "tooltip")))
            .WideString(Str(Get(link, "display")));
        sink.Write(rec::kHLink, body);
    }
    WritePageSettings(sink, tail);
    if (!tail.drawing.empty()) {
        sink.Write(rec::kDrawing, Body().WideString(tail.drawing));
    }
    if (!tail.legacyDrawing.empty()) {
        sink.Write(rec::kLegacyDrawing, Body().WideString(tail.legacyDrawing));
    }
    WriteOleObjects(sink, tail.oleObjects);
    WriteControls(sink, tail.controls);
}

}  // namespace tabrook::calcserver::xlsb
