#include "calcserver/xlsb/sheet_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

#include "calcserver/xlsb/cell_ref.h"
#include "calcserver/xlsb/formula_encoder.h"
#include "calcserver/xlsb/ooxml_text.h"
#include "calcserver/xlsb/record_ids.h"
#include "calcserver/xlsb/record_writer.h"
#include "calcserver/xlsb/rk_number.h"
#include "calcserver/xlsb/sax_reader.h"
#include "calcserver/xlsb/sheet_layout.h"
#include "calcserver/xlsb/sheet_rules.h"
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
    bool hasFormula = false;
    std::string formula;
    std::string formulaType;
    std::string formulaRef;
    std::string sharedIndex;
};

class Handler : public SaxHandler {
  public:
    Handler(const SheetJob& job, WorkbookScope& scope, TranscodeReport& report)
        : job_(job), scope_(scope), report_(report), sink_(job.output) {}

    void Start(std::string_view name, const Attributes& a) override {
        if (inCell_) {
            StartInCell(name, a);
        } else if (rules_.Start(name, a, collect_)) {
            return;
        } else if (inSheetData_ && name == "c") {
            StartCell(a);
        } else if (inSheetData_ && name == "row") {
            // Only here: control anchors further down hold an <xdr:row> of their own.
            StartRow(a);
        } else if (name == "sheetData") {
            if (!dataDone_ && !inSheetData_) {
                WriteHead();
                sink_.Write(rec::kBeginSheetData);
                inSheetData_ = true;
            }
        } else if (name == "sheetPr") {
            inSheetProperties_ = true;
            head_.sheetProperties = Keep(a, {"codeName", "filterMode"});
        } else if (inSheetProperties_ && name == "tabColor") {
            head_.tabColor = Keep(a, {"rgb", "theme", "indexed", "tint"});
        } else if (inSheetProperties_ && name == "outlinePr") {
            head_.outline =
                Keep(a, {"summaryBelow", "summaryRight", "applyStyles", "showOutlineSymbols"});
        } else if (inSheetProperties_ && name == "pageSetUpPr") {
            head_.fitToPage = ParseBool(a.Get("fitToPage"), false);
        } else if (name == "dimension") {
            head_.dimension = ParseCellRange(Str(a.Get("ref")));
        } else if (name == "sheetView") {
            head_.views.push_back({Keep(a, {"tabSelected", "showGridLines", "showRowColHeaders",
                                            "showZeros", "rightToLeft", "showFormulas", "zoomScale",
                                            "view", "topLeftCell", "showOutlineSymbols"}),
                                   {}});
        } else if (name == "pane" && !head_.views.empty()) {
            head_.views.back().pane =
                Keep(a, {"xSplit", "ySplit", "topLeftCell", "activePane", "state"});
        } else if (name == "sheetFormatPr") {
            head_.format =
                Keep(a, {"defaultColWidth", "baseColWidth", "defaultRowHeight", "customHeight",
                         "zeroHeight", "outlineLevelRow", "outlineLevelCol"});
        } else if (name == "col") {
            head_.columns.push_back(
                Keep(a, {"min", "max", "width", "style", "hidden", "customWidth", "bestFit",
                         "outlineLevel", "collapsed"}));
        } else if (name == "sheetProtection") {
            tail_.protection =
                Keep(a, {"password", "sheet", "objects", "scenarios", "formatCells",
                         "formatColumns", "formatRows", "insertColumns", "insertRows",
                         "insertHyperlinks", "deleteColumns", "deleteRows", "selectLockedCells",
                         "sort", "autoFilter", "pivotTables", "selectUnlockedCells"});
            tail_.protection.emplace("present", "1");
        } else if (name == "mergeCell") {
            if (auto range = ParseCellRange(Str(a.Get("ref")))) {
                tail_.merges.push_back(*range);
            }
        } else if (name == "hyperlink") {
            tail_.hyperlinks.push_back(Keep(a, {"ref", "id", "location", "display", "tooltip"}));
        } else if (name == "printOptions") {
            tail_.printOptions =
                Keep(a, {"horizontalCentered", "verticalCentered", "headings", "gridLines"});
        } else if (name == "pageSetup") {
            tail_.pageSetup =
                Keep(a, {"paperSize", "scale", "horizontalDpi", "verticalDpi", "copies",
                         "firstPageNumber", "fitToWidth", "fitToHeight", "pageOrder", "orientation",
                         "usePrinterDefaults", "blackAndWhite", "draft", "cellComments",
                         "useFirstPageNumber", "errors", "id"});
        } else if (name == "headerFooter") {
            inHeaderFooter_ = true;
            tail_.headerFooter =
                Keep(a, {"differentOddEven", "differentFirst", "scaleWithDoc", "alignWithMargins"});
            tail_.headerFooter.emplace("present", "1");
        } else if (inHeaderFooter_) {
            collect_ = &tail_.headerFooterTexts[std::string(name)];
        } else if (name == "pageMargins") {
            tail_.margins = Keep(a, {"left", "right", "top", "bottom", "header", "footer"});
        } else if (name == "drawing") {
            tail_.drawing = Str(a.Get("id"));
        } else if (name == "legacyDrawing") {
            tail_.legacyDrawing = Str(a.Get("id"));
        } else if (name == "AlternateContent") {
            ++alternateDepth_;
        } else if (name == "control" && alternateDepth_ == 0 && a.Get("id") != nullptr &&
                   a.Get("shapeId") != nullptr) {
            // Controls in a compatibility block are form controls of a later version; only
            // the plain list holds ActiveX controls.
            tail_.controls.push_back(Keep(a, {"shapeId", "id", "name"}));
        } else if (name == "oleObject" && a.Get("id") != nullptr) {
            tail_.oleObjects.push_back(Keep(a, {"progId", "shapeId", "id", "dvAspect"}));
        }
    }

    void End(std::string_view name) override {
        if (inCell_) {
            EndInCell(name);
        } else if (rules_.End(name)) {
            collect_ = nullptr;
        } else if (name == "sheetPr") {
            inSheetProperties_ = false;
        } else if (name == "headerFooter") {
            inHeaderFooter_ = false;
        } else if (inHeaderFooter_) {
            collect_ = nullptr;
        } else if (name == "AlternateContent" && alternateDepth_ > 0) {
            --alternateDepth_;
        } else if (name == "sheetData" && inSheetData_) {
            sink_.Write(rec::kEndSheetData);
            inSheetData_ = false;
            dataDone_ = true;
        } else if (name == "worksheet") {
            WriteTail();
        }
    }

    void Text(std::string_view text) override {
        if (collect_ != nullptr && phoneticDepth_ == 0) {
            collect_->append(text);
        }
    }

    void Finish() {
        if (!tailWritten_) {
            throw XlsbError("the sheet " + job_.name + " is incomplete");
        }
        sink_.Finish();
    }

  private:
    // --- cells ---------------------------------------------------------------

    void StartRow(const Attributes& a) {
        if (const auto number = ParseInt(a.Get("r"));
            number && *number >= 1 && *number - 1 <= kMaxRow) {
            row_ = static_cast<std::int32_t>(*number - 1);
        } else {
            ++row_;
        }
        nextCol_ = 0;
        std::erase_if(arrays_, [this](const ArrayFormula& f) { return f.range.last.row < row_; });

        const auto height = ParseDouble(a.Get("ht"));
        const bool customHeight = ParseBool(a.Get("customHeight"), false);
        std::uint16_t flags = 0;
        flags |=
            static_cast<std::uint16_t>((ParseInt(a.Get("outlineLevel")).value_or(0) & 0x7) << 8);
        flags |= ParseBool(a.Get("collapsed"), false) ? 0x0800 : 0;
        flags |= ParseBool(a.Get("hidden"), false) ? 0x1000 : 0;
        flags |= customHeight ? 0x2000 : 0;
        const bool customFormat = ParseBool(a.Get("customFormat"), false);
        flags |= customFormat ? 0x4000 : 0;
        const double points = height.value_or(defaultRowHeight_);
        Body body;
        body.I32(row_)
            .U32(customFormat ? static_cast<std::uint32_t>(ParseInt(a.Get("s")).value_or(0)) : 0)
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
            cell_.at = {row_, nextCol_};
        }
        if (cell_.at.row != row_) {
            // A cell outside its row: follow the cell, as Office Open XML readers do.
            row_ = cell_.at.row;
        }
        nextCol_ = cell_.at.col + 1;
        cell_.style = static_cast<std::uint32_t>(ParseInt(a.Get("s")).value_or(0)) & 0xFFFFFF;
        cell_.type = Str(a.Get("t"));
        inCell_ = true;
    }

    void StartInCell(std::string_view name, const Attributes& a) {
        if (name == "v") {
            cell_.has_value = true;
            collect_ = &cell_.value;
        } else if (name == "f") {
            cell_.hasFormula = true;
            cell_.formulaType = Str(a.Get("t"));
            cell_.formulaRef = Str(a.Get("ref"));
            cell_.sharedIndex = Str(a.Get("si"));
            collect_ = &cell_.formula;
        } else if (name == "is") {
            cell_.has_value = true;
        } else if (name == "rPh") {
            ++phoneticDepth_;
        } else if (name == "t") {
            collect_ = &cell_.value;
        }
    }

    void EndInCell(std::string_view name) {
        if (name == "rPh") {
            --phoneticDepth_;
        } else if (name == "v" || name == "f" || name == "t") {
            collect_ = nullptr;
        } else if (name == "c") {
            inCell_ = false;
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
        if (!cell_.hasFormula) {
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
            if (text.empty() && cell_.formulaType != "shared") {
                throw UnencodableFormula("an empty formula");
            }
            if (cell_.formulaType == "array") {
                WriteArrayAnchor(text);
                return;
            }
            if (cell_.formulaType == "dataTable") {
                throw UnencodableFormula("a what-if data table");
            }
            FormulaShift shift;
            if (cell_.formulaType == "shared") {
                if (!text.empty()) {
                    shared_[cell_.sharedIndex] = {text, cell_.at};
                } else {
                    const auto found = shared_.find(cell_.sharedIndex);
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
            ParseCellRange(cell_.formulaRef.empty() ? CellName(cell_.at) : cell_.formulaRef);
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
        if (headWritten_) {
            return;
        }
        headWritten_ = true;
        defaultRowHeight_ = WriteSheetHead(sink_, head_);
    }

    void WriteTail() {
        WriteHead();
        if (!dataDone_) {
            sink_.Write(rec::kBeginSheetData);
            sink_.Write(rec::kEndSheetData);
        }
        SheetRuleRecords rules = rules_.Encode(scope_, job_.index, job_.name, report_);
        tail_.autoFilter = std::move(rules.autoFilter);
        tail_.conditionalFormats = std::move(rules.conditionalFormats);
        tail_.validations = std::move(rules.validations);
        WriteSheetTail(sink_, tail_);
        sink_.Write(rec::kEndSheet);
        tailWritten_ = true;
    }

    const SheetJob& job_;
    WorkbookScope& scope_;
    TranscodeReport& report_;
    RecordSink sink_;

    bool headWritten_ = false;
    bool dataDone_ = false;
    bool inSheetData_ = false;
    bool tailWritten_ = false;
    bool inSheetProperties_ = false;
    SheetHead head_;
    double defaultRowHeight_ = 15.0;
    SheetTail tail_;
    SheetRules rules_;
    bool inHeaderFooter_ = false;
    int alternateDepth_ = 0;

    std::int32_t row_ = -1;
    std::int32_t nextCol_ = 0;
    bool inCell_ = false;
    int phoneticDepth_ = 0;
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
