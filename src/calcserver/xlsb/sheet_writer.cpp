#include "calcserver/xlsb/sheet_writer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <pugixml.hpp>
#include <vector>

#include "calcserver/xlsb/cell_ref.h"
#include "calcserver/xlsb/formula_encoder.h"
#include "calcserver/xlsb/ooxml_text.h"
#include "calcserver/xlsb/record_ids.h"
#include "calcserver/xlsb/record_writer.h"
#include "calcserver/xlsb/rk_number.h"
#include "calcserver/xlsb/sax_reader.h"
#include "calcserver/xlsb/styles_writer.h"
#include "calcserver/xlsb/transcode_report.h"
#include "calcserver/xlsb/workbook_part.h"
#include "calcserver/xlsb/xlsb_error.h"

namespace tabrook::calcserver::xlsb {
namespace {

std::uint8_t ErrorCode(std::string_view text) {
    static constexpr std::pair<std::string_view, std::uint8_t> kCodes[] = {
        {"#NULL!", 0x00}, {"#DIV/0!", 0x07}, {"#VALUE!", 0x0F}, {"#REF!", 0x17},
        {"#NAME?", 0x1D}, {"#NUM!", 0x24},   {"#N/A", 0x2A},    {"#GETTING_DATA", 0x2B},
    };
    for (const auto& [name, code] : kCodes) {
        if (text == name) {
            return code;
        }
    }
    return 0x2A;
}

std::string Str(const char* text) {
    return text != nullptr ? text : "";
}

// Attributes kept as strings: expat's pointers die with the callback.
using AttrMap = std::map<std::string, std::string, std::less<>>;

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

struct ArrayFormula {
    CellRange range;
    bool encoded = false;
};

struct SharedFormula {
    std::string text;
    CellAddress anchor;
};

struct Cell {
    CellAddress at;
    std::uint32_t style = 0;
    std::string type;
    std::string value;
    bool has_value = false;
    bool has_formula = false;
    std::string formula;
    std::string formula_type;
    std::string formula_ref;
    std::string shared_index;
};

class Handler : public SaxHandler {
  public:
    Handler(const SheetJob& job, WorkbookScope& scope, TranscodeReport& report)
        : job_(job), scope_(scope), report_(report), sink_(job.output) {}

    void Start(std::string_view name, const Attributes& a) override {
        if (in_cell_) {
            StartInCell(name, a);
        } else if (name == "c") {
            StartCell(a);
        } else if (name == "row") {
            StartRow(a);
        } else if (name == "sheetData") {
            WriteHead();
            sink_.Write(rec::kBeginSheetData);
        } else if (name == "sheetPr") {
            in_sheet_properties_ = true;
            sheet_properties_ = Keep(a, {"codeName", "filterMode"});
        } else if (in_sheet_properties_ && name == "tabColor") {
            tab_color_ = Keep(a, {"rgb", "theme", "indexed", "tint"});
        } else if (in_sheet_properties_ && name == "outlinePr") {
            outline_ =
                Keep(a, {"summaryBelow", "summaryRight", "applyStyles", "showOutlineSymbols"});
        } else if (in_sheet_properties_ && name == "pageSetUpPr") {
            fit_to_page_ = ParseBool(a.Get("fitToPage"), false);
        } else if (name == "dimension") {
            dimension_ = ParseCellRange(Str(a.Get("ref")));
        } else if (name == "sheetView") {
            views_.push_back({Keep(a, {"tabSelected", "showGridLines", "showRowColHeaders",
                                       "showZeros", "rightToLeft", "showFormulas", "zoomScale",
                                       "view", "topLeftCell", "showOutlineSymbols"}),
                              {}});
        } else if (name == "pane" && !views_.empty()) {
            views_.back().pane =
                Keep(a, {"xSplit", "ySplit", "topLeftCell", "activePane", "state"});
        } else if (name == "sheetFormatPr") {
            format_ = Keep(a, {"defaultColWidth", "baseColWidth", "defaultRowHeight",
                               "customHeight", "zeroHeight", "outlineLevelRow", "outlineLevelCol"});
        } else if (name == "col") {
            columns_.push_back(Keep(a, {"min", "max", "width", "style", "hidden", "customWidth",
                                        "bestFit", "outlineLevel", "collapsed"}));
        } else if (name == "sheetProtection") {
            protection_ =
                Keep(a, {"password", "sheet", "objects", "scenarios", "formatCells",
                         "formatColumns", "formatRows", "insertColumns", "insertRows",
                         "insertHyperlinks", "deleteColumns", "deleteRows", "selectLockedCells",
                         "sort", "autoFilter", "pivotTables", "selectUnlockedCells"});
            protection_.emplace("present", "1");
        } else if (name == "mergeCell") {
            if (auto range = ParseCellRange(Str(a.Get("ref")))) {
                merges_.push_back(*range);
            }
        } else if (name == "hyperlink") {
            hyperlinks_.push_back(Keep(a, {"ref", "id", "location", "display", "tooltip"}));
        } else if (name == "printOptions") {
            print_options_ =
                Keep(a, {"horizontalCentered", "verticalCentered", "headings", "gridLines"});
        } else if (name == "pageSetup") {
            page_setup_ = Keep(a, {"paperSize", "scale", "horizontalDpi", "verticalDpi", "copies",
                                   "firstPageNumber", "fitToWidth", "fitToHeight", "pageOrder",
                                   "orientation", "usePrinterDefaults", "blackAndWhite", "draft",
                                   "cellComments", "useFirstPageNumber", "errors", "id"});
        } else if (name == "headerFooter") {
            in_header_footer_ = true;
            header_footer_ =
                Keep(a, {"differentOddEven", "differentFirst", "scaleWithDoc", "alignWithMargins"});
            header_footer_.emplace("present", "1");
        } else if (in_header_footer_) {
            collect_ = &header_footer_texts_[std::string(name)];
        } else if (name == "pageMargins") {
            margins_ = Keep(a, {"left", "right", "top", "bottom", "header", "footer"});
        } else if (name == "drawing") {
            drawing_ = Str(a.Get("id"));
        } else if (name == "legacyDrawing") {
            legacy_drawing_ = Str(a.Get("id"));
        }
    }

    void End(std::string_view name) override {
        if (in_cell_) {
            EndInCell(name);
        } else if (name == "sheetPr") {
            in_sheet_properties_ = false;
        } else if (name == "headerFooter") {
            in_header_footer_ = false;
        } else if (in_header_footer_) {
            collect_ = nullptr;
        } else if (name == "sheetData") {
            sink_.Write(rec::kEndSheetData);
            data_done_ = true;
        } else if (name == "worksheet") {
            WriteTail();
        }
    }

    void Text(std::string_view text) override {
        if (collect_ != nullptr && phonetic_depth_ == 0) {
            collect_->append(text);
        }
    }

    void Finish() {
        if (!tail_written_) {
            throw XlsbError("the sheet " + job_.name + " is incomplete");
        }
        sink_.Finish();
    }

  private:
    struct View {
        AttrMap attributes;
        AttrMap pane;
    };

    // --- cells ---------------------------------------------------------------

    void StartRow(const Attributes& a) {
        if (const auto number = ParseInt(a.Get("r"));
            number && *number >= 1 && *number - 1 <= kMaxRow) {
            row_ = static_cast<std::int32_t>(*number - 1);
        } else {
            ++row_;
        }
        next_col_ = 0;
        std::erase_if(arrays_, [this](const ArrayFormula& f) { return f.range.last.row < row_; });

        const auto height = ParseDouble(a.Get("ht"));
        const bool custom_height = ParseBool(a.Get("customHeight"), false);
        std::uint16_t flags = 0;
        flags |=
            static_cast<std::uint16_t>((ParseInt(a.Get("outlineLevel")).value_or(0) & 0x7) << 8);
        flags |= ParseBool(a.Get("collapsed"), false) ? 0x0800 : 0;
        flags |= ParseBool(a.Get("hidden"), false) ? 0x1000 : 0;
        flags |= custom_height ? 0x2000 : 0;
        const bool custom_format = ParseBool(a.Get("customFormat"), false);
        flags |= custom_format ? 0x4000 : 0;
        const double points = height.value_or(default_row_height_);
        Body body;
        body.I32(row_)
            .U32(custom_format ? static_cast<std::uint32_t>(ParseInt(a.Get("s")).value_or(0)) : 0)
            .U16(static_cast<std::uint16_t>(std::lround(std::clamp(points, 0.0, 409.5) * 20)))
            .U16(flags)
            .U8(0);
        // Column spans "1:5 7:9" tell readers where the row's cells lie.
        std::vector<std::pair<std::int32_t, std::int32_t>> spans;
        const std::string text = Str(a.Get("spans"));
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = std::min(text.find(' ', at), text.size());
            const std::string span = text.substr(at, end - at);
            const auto colon = span.find(':');
            const auto first = ParseInt(span.substr(0, colon).c_str());
            const auto last =
                colon == std::string::npos ? first : ParseInt(span.substr(colon + 1).c_str());
            if (first && last && *first >= 1 && *last >= *first && *last - 1 <= kMaxCol &&
                spans.size() < 16) {
                spans.emplace_back(static_cast<std::int32_t>(*first - 1),
                                   static_cast<std::int32_t>(*last - 1));
            }
            at = end + 1;
        }
        body.U32(static_cast<std::uint32_t>(spans.size()));
        for (const auto& [first, last] : spans) {
            body.I32(first).I32(last);
        }
        sink_.Write(rec::kRowHdr, body);
    }

    void StartCell(const Attributes& a) {
        cell_ = Cell{};
        if (const char* ref = a.Get("r")) {
            const auto address = ParseCellAddress(ref);
            if (!address) {
                throw XlsbError("the sheet " + job_.name + " has a cell named " + Str(ref) +
                                ", which is outside the grid");
            }
            cell_.at = *address;
        } else {
            cell_.at = {row_, next_col_};
        }
        if (cell_.at.row != row_) {
            // A cell outside its row: follow the cell, as Office Open XML readers do.
            row_ = cell_.at.row;
        }
        next_col_ = cell_.at.col + 1;
        cell_.style = static_cast<std::uint32_t>(ParseInt(a.Get("s")).value_or(0)) & 0xFFFFFF;
        cell_.type = Str(a.Get("t"));
        in_cell_ = true;
    }

    void StartInCell(std::string_view name, const Attributes& a) {
        if (name == "v") {
            cell_.has_value = true;
            collect_ = &cell_.value;
        } else if (name == "f") {
            cell_.has_formula = true;
            cell_.formula_type = Str(a.Get("t"));
            cell_.formula_ref = Str(a.Get("ref"));
            cell_.shared_index = Str(a.Get("si"));
            collect_ = &cell_.formula;
        } else if (name == "is") {
            cell_.has_value = true;
        } else if (name == "rPh") {
            ++phonetic_depth_;
        } else if (name == "t") {
            collect_ = &cell_.value;
        }
    }

    void EndInCell(std::string_view name) {
        if (name == "rPh") {
            --phonetic_depth_;
        } else if (name == "v" || name == "f" || name == "t") {
            collect_ = nullptr;
        } else if (name == "c") {
            in_cell_ = false;
            WriteCell();
        }
    }

    Body CellHead() const {
        Body body;
        body.I32(cell_.at.col).U32(cell_.style);
        return body;
    }

    void WriteValueCell() {
        const std::string& type = cell_.type;
        if (!cell_.has_value) {
            sink_.Write(rec::kCellBlank, CellHead());
            return;
        }
        if (type == "s") {
            const auto index = ParseInt(cell_.value.c_str());
            if (!index || *index < 0 || *index > 0xFFFFFFFFLL) {
                throw XlsbError("the sheet " + job_.name +
                                " refers to a missing shared string at " + CellName(cell_.at));
            }
            sink_.Write(rec::kCellIsst, CellHead().U32(static_cast<std::uint32_t>(*index)));
        } else if (type == "b") {
            sink_.Write(rec::kCellBool,
                        CellHead().U8(cell_.value == "1" || cell_.value == "true" ? 1 : 0));
        } else if (type == "e") {
            sink_.Write(rec::kCellError, CellHead().U8(ErrorCode(cell_.value)));
        } else if (type == "str" || type == "inlineStr" || type == "d") {
            sink_.Write(rec::kCellSt, CellHead().WideString(DecodeEscapes(cell_.value)));
        } else if (const auto number = ParseDouble(cell_.value.c_str())) {
            if (const auto rk = EncodeRk(*number)) {
                sink_.Write(rec::kCellRk, CellHead().U32(*rk));
            } else {
                sink_.Write(rec::kCellReal, CellHead().F64(*number));
            }
        } else {
            sink_.Write(rec::kCellSt, CellHead().WideString(DecodeEscapes(cell_.value)));
        }
    }

    void WriteFormulaCell(const EncodedFormula& formula) {
        const std::string& type = cell_.type;
        Body body = CellHead();
        std::uint16_t record = rec::kFmlaNum;
        if (type == "str" || type == "inlineStr") {
            record = rec::kFmlaString;
            body.WideString(DecodeEscapes(cell_.value));
        } else if (type == "b") {
            record = rec::kFmlaBool;
            body.U8(cell_.value == "1" || cell_.value == "true" ? 1 : 0);
        } else if (type == "e") {
            record = rec::kFmlaError;
            body.U8(ErrorCode(cell_.value));
        } else {
            body.F64(ParseDouble(cell_.value.c_str()).value_or(0));
        }
        body.U16(0);
        AppendParsedFormula(body, formula);
        sink_.Write(record, body);
    }

    void WriteCell() {
        ++report_.cells;
        if (!cell_.has_formula) {
            for (const ArrayFormula& array : arrays_) {
                if (array.encoded && array.range.Contains(cell_.at)) {
                    WriteFormulaCell(ExpReference(array.range.first.row, array.range.first.col));
                    return;
                }
            }
            WriteValueCell();
            return;
        }
        ++report_.formulas;
        std::string text = DecodeEscapes(cell_.formula);
        try {
            if (text.empty() && cell_.formula_type != "shared") {
                throw UnencodableFormula("an empty formula");
            }
            if (cell_.formula_type == "array") {
                WriteArrayAnchor(text);
                return;
            }
            if (cell_.formula_type == "dataTable") {
                throw UnencodableFormula("a what-if data table");
            }
            FormulaShift shift;
            if (cell_.formula_type == "shared") {
                if (!text.empty()) {
                    shared_[cell_.shared_index] = {text, cell_.at};
                } else {
                    const auto found = shared_.find(cell_.shared_index);
                    if (found == shared_.end()) {
                        throw UnencodableFormula("a shared formula without its anchor cell");
                    }
                    text = found->second.text;
                    shift = {cell_.at.row - found->second.anchor.row,
                             cell_.at.col - found->second.anchor.col};
                }
            }
            WriteFormulaCell(EncodeFormula(text, FormulaKind::kCell, scope_, job_.index, shift));
        } catch (const UnencodableFormula& why) {
            report_.AddUnencoded({job_.name, CellName(cell_.at), text, why.what()});
            WriteValueCell();
        }
    }

    void WriteArrayAnchor(const std::string& text) {
        const auto range =
            ParseCellRange(cell_.formula_ref.empty() ? CellName(cell_.at) : cell_.formula_ref);
        if (!range || !(range->first == cell_.at)) {
            throw UnencodableFormula("an array formula whose range does not start at its cell");
        }
        const EncodedFormula tokens = EncodeFormula(text, FormulaKind::kArray, scope_, job_.index);
        WriteFormulaCell(ExpReference(cell_.at.row, cell_.at.col));
        Body body;
        AppendRange(body, *range);
        body.U8(0);
        AppendParsedFormula(body, tokens);
        sink_.Write(rec::kArrFmla, body);
        arrays_.push_back({*range, true});
    }

    // --- sheet head and tail -------------------------------------------------

    void WriteHead() {
        if (head_written_) {
            return;
        }
        head_written_ = true;
        sink_.Write(rec::kBeginSheet);

        std::uint16_t flags1 = 0x0001;  // automatic page breaks shown
        flags1 |= ParseBool(Get(outline_, "applyStyles"), false) ? 0x0020 : 0;
        flags1 |= ParseBool(Get(outline_, "summaryBelow"), true) ? 0x0040 : 0;
        flags1 |= ParseBool(Get(outline_, "summaryRight"), true) ? 0x0080 : 0;
        flags1 |= fit_to_page_ ? 0x0100 : 0;
        flags1 |= ParseBool(Get(outline_, "showOutlineSymbols"), true) ? 0x0400 : 0;
        const std::uint8_t flags2 =
            ParseBool(Get(sheet_properties_, "filterMode"), false) ? 0x01 : 0x00;
        Body properties;
        properties.U16(flags1).U8(flags2);
        pugi::xml_document color;
        pugi::xml_node tab = color.append_child("tabColor");
        for (const auto& [key, value] : tab_color_) {
            tab.append_attribute(key.c_str()).set_value(value.c_str());
        }
        AppendColor(properties, tab_color_.empty() ? pugi::xml_node() : tab);
        properties.I32(-1).I32(-1).WideString(Str(Get(sheet_properties_, "codeName")));
        sink_.Write(rec::kWsProp, properties);

        Body dimension;
        AppendRange(dimension, dimension_.value_or(CellRange{}));
        sink_.Write(rec::kWsDim, dimension);

        WriteViews();

        default_row_height_ = ParseDouble(Get(format_, "defaultRowHeight")).value_or(15.0);
        const auto default_width = ParseDouble(Get(format_, "defaultColWidth"));
        std::uint16_t format_flags = 0;
        format_flags |= ParseBool(Get(format_, "customHeight"), false) ? 0x1 : 0;
        format_flags |= ParseBool(Get(format_, "zeroHeight"), false) ? 0x2 : 0;
        sink_.Write(
            rec::kWsFmtInfo,
            Body()
                .U32(default_width ? static_cast<std::uint32_t>(std::lround(*default_width * 256))
                                   : 0xFFFFFFFFu)
                .U16(static_cast<std::uint16_t>(ParseInt(Get(format_, "baseColWidth")).value_or(8)))
                .U16(static_cast<std::uint16_t>(std::lround(default_row_height_ * 20)))
                .U16(format_flags)
                .U8(static_cast<std::uint8_t>(
                    ParseInt(Get(format_, "outlineLevelRow")).value_or(0)))
                .U8(static_cast<std::uint8_t>(
                    ParseInt(Get(format_, "outlineLevelCol")).value_or(0))));

        if (!columns_.empty()) {
            sink_.Write(rec::kBeginColInfos);
            for (const AttrMap& col : columns_) {
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
                sink_.Write(
                    rec::kColInfo,
                    Body()
                        .I32(static_cast<std::int32_t>(first))
                        .I32(static_cast<std::int32_t>(last))
                        .U32(static_cast<std::uint32_t>(std::lround(width * 256)))
                        .U32(static_cast<std::uint32_t>(ParseInt(Get(col, "style")).value_or(0)))
                        .U16(flags));
            }
            sink_.Write(rec::kEndColInfos);
        }
    }

    void WriteViews() {
        if (views_.empty()) {
            views_.push_back({});
        }
        sink_.Write(rec::kBeginWsViews);
        for (const View& view : views_) {
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
            const std::uint32_t layout = kind == "pageBreakPreview" ? 1
                                         : kind == "pageLayout"     ? 2
                                                                    : 0;
            const auto top_left =
                ParseCellAddress(Str(Get(v, "topLeftCell"))).value_or(CellAddress{});
            const auto zoom = static_cast<std::uint16_t>(
                std::clamp<long long>(ParseInt(Get(v, "zoomScale")).value_or(100), 10, 400));
            sink_.Write(rec::kBeginWsView, Body()
                                               .U16(flags)
                                               .U32(layout)
                                               .I32(top_left.row)
                                               .I32(top_left.col)
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
                const auto pane_top_left =
                    ParseCellAddress(Str(Get(p, "topLeftCell"))).value_or(CellAddress{});
                std::uint8_t pane_flags = 0;
                pane_flags |= (state == "frozen" || state == "frozenSplit") ? 0x1 : 0;
                pane_flags |= state == "frozen" ? 0x2 : 0;
                sink_.Write(rec::kPane, Body()
                                            .F64(ParseDouble(Get(p, "xSplit")).value_or(0))
                                            .F64(ParseDouble(Get(p, "ySplit")).value_or(0))
                                            .I32(pane_top_left.row)
                                            .I32(pane_top_left.col)
                                            .U32(pane)
                                            .U8(pane_flags));
            }
            sink_.Write(rec::kEndWsView);
        }
        sink_.Write(rec::kEndWsViews);
    }

    void WriteTail() {
        if (!head_written_) {
            WriteHead();
        }
        if (!data_done_) {
            sink_.Write(rec::kBeginSheetData);
            sink_.Write(rec::kEndSheetData);
        }
        WriteProtection();
        if (!merges_.empty()) {
            sink_.Write(rec::kBeginMergeCells,
                        Body().U32(static_cast<std::uint32_t>(merges_.size())));
            for (const CellRange& range : merges_) {
                Body body;
                AppendRange(body, range);
                sink_.Write(rec::kMergeCell, body);
            }
            sink_.Write(rec::kEndMergeCells);
        }
        for (const AttrMap& link : hyperlinks_) {
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
            sink_.Write(rec::kHLink, body);
        }
        WritePageSettings();
        if (!drawing_.empty()) {
            sink_.Write(rec::kDrawing, Body().WideString(drawing_));
        }
        if (!legacy_drawing_.empty()) {
            sink_.Write(rec::kLegacyDrawing, Body().WideString(legacy_drawing_));
        }
        sink_.Write(rec::kEndSheet);
        tail_written_ = true;
    }

    // The legacy 16-bit password hash and what stays allowed. Office Open XML says which
    // actions are locked; the binary record says which are allowed.
    void WriteProtection() {
        if (protection_.empty()) {
            return;
        }
        const std::string password = Str(Get(protection_, "password"));
        const auto hash = static_cast<std::uint16_t>(std::strtoul(password.c_str(), nullptr, 16));
        Body body;
        body.U16(hash).U32(ParseBool(Get(protection_, "sheet"), false) ? 1 : 0);
        static constexpr std::pair<const char*, bool> kLocks[] = {
            {"objects", false},      {"scenarios", false},         {"formatCells", true},
            {"formatColumns", true}, {"formatRows", true},         {"insertColumns", true},
            {"insertRows", true},    {"insertHyperlinks", true},   {"deleteColumns", true},
            {"deleteRows", true},    {"selectLockedCells", false}, {"sort", true},
            {"autoFilter", true},    {"pivotTables", true},        {"selectUnlockedCells", false},
        };
        for (const auto& [key, locked_by_default] : kLocks) {
            body.U32(ParseBool(Get(protection_, key), locked_by_default) ? 0 : 1);
        }
        sink_.Write(kSheetProtection, body);
    }

    // Print options, margins, page setup, header and footer, in the order the format has.
    void WritePageSettings() {
        if (!print_options_.empty()) {
            std::uint16_t flags = 0;
            flags |= ParseBool(Get(print_options_, "horizontalCentered"), false) ? 0x1 : 0;
            flags |= ParseBool(Get(print_options_, "verticalCentered"), false) ? 0x2 : 0;
            flags |= ParseBool(Get(print_options_, "headings"), false) ? 0x4 : 0;
            flags |= ParseBool(Get(print_options_, "gridLines"), false) ? 0x8 : 0;
            sink_.Write(kPrintOptions, Body().U16(flags));
        }
        if (!margins_.empty()) {
            Body body;
            for (const char* side : {"left", "right", "top", "bottom", "header", "footer"}) {
                body.F64(ParseDouble(Get(margins_, side)).value_or(0.5));
            }
            sink_.Write(kMargins, body);
        }
        if (!page_setup_.empty()) {
            const AttrMap& p = page_setup_;
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
            sink_.Write(kPageSetup,
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
                            .NullableWideString(id != nullptr ? std::optional<std::string>(id)
                                                              : std::nullopt));
        }
        if (!header_footer_.empty()) {
            std::uint16_t flags = 0;
            flags |= ParseBool(Get(header_footer_, "differentOddEven"), false) ? 0x1 : 0;
            flags |= ParseBool(Get(header_footer_, "differentFirst"), false) ? 0x2 : 0;
            flags |= ParseBool(Get(header_footer_, "scaleWithDoc"), true) ? 0x4 : 0;
            flags |= ParseBool(Get(header_footer_, "alignWithMargins"), true) ? 0x8 : 0;
            Body body;
            body.U16(flags);
            for (const char* part : {"oddHeader", "oddFooter", "evenHeader", "evenFooter",
                                     "firstHeader", "firstFooter"}) {
                const auto found = header_footer_texts_.find(part);
                body.NullableWideString(
                    found == header_footer_texts_.end()
                        ? std::nullopt
                        : std::optional<std::string>(DecodeEscapes(found->second)));
            }
            sink_.Write(kHeaderFooter, body);
        }
    }

    static constexpr std::uint16_t kMargins = 0x01DC;
    static constexpr std::uint16_t kSheetProtection = 0x0217;
    static constexpr std::uint16_t kPrintOptions = 0x01DD;
    static constexpr std::uint16_t kPageSetup = 0x01DE;
    static constexpr std::uint16_t kHeaderFooter = 0x01DF;

    const SheetJob& job_;
    WorkbookScope& scope_;
    TranscodeReport& report_;
    RecordSink sink_;

    bool head_written_ = false;
    bool data_done_ = false;
    bool tail_written_ = false;
    bool in_sheet_properties_ = false;
    AttrMap sheet_properties_;
    AttrMap tab_color_;
    AttrMap outline_;
    bool fit_to_page_ = false;
    std::optional<CellRange> dimension_;
    std::vector<View> views_;
    AttrMap format_;
    double default_row_height_ = 15.0;
    std::vector<AttrMap> columns_;
    std::vector<CellRange> merges_;
    std::vector<AttrMap> hyperlinks_;
    AttrMap margins_;
    AttrMap protection_;
    AttrMap print_options_;
    AttrMap page_setup_;
    AttrMap header_footer_;
    std::map<std::string, std::string> header_footer_texts_;
    bool in_header_footer_ = false;
    std::string drawing_;
    std::string legacy_drawing_;

    std::int32_t row_ = -1;
    std::int32_t next_col_ = 0;
    bool in_cell_ = false;
    int phonetic_depth_ = 0;
    std::string* collect_ = nullptr;
    Cell cell_;
    std::vector<ArrayFormula> arrays_;
    std::map<std::string, SharedFormula> shared_;
};

}  // namespace

void ConvertSheet(const package::ZipReader& zip, const SheetJob& job, WorkbookScope& scope,
                  TranscodeReport& report) {
    Handler handler(job, scope, report);
    ReadPart(zip, job.part, handler);
    handler.Finish();
}

}  // namespace tabrook::calcserver::xlsb
