#include "calcserver/xlsb/sheet_rules.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "calcserver/xlsb/cell_ref.h"
#include "calcserver/xlsb/formula_encoder.h"
#include "calcserver/xlsb/ooxml_text.h"
#include "calcserver/xlsb/record_ids.h"
#include "calcserver/xlsb/record_writer.h"
#include "calcserver/xlsb/transcode_report.h"

namespace tabrook::calcserver::xlsb {
namespace {

// The binary format's own limit on the ranges of one validation.
constexpr std::size_t kMaxRanges = 8192;
// Office Open XML allows three formulas to a rule and two to a validation.
constexpr std::size_t kMaxRuleFormulas = 3;

const std::initializer_list<const char*> kValidationAttributes = {
    "type",       "errorStyle",   "imeMode",          "operator",
    "allowBlank", "showDropDown", "showInputMessage", "showErrorMessage",
    "errorTitle", "error",        "promptTitle",      "prompt"};

std::uint32_t IndexIn(std::string_view value, std::initializer_list<std::string_view> names,
                      std::uint32_t fallback) {
    std::uint32_t index = 0;
    for (const std::string_view name : names) {
        if (value == name) {
            return index;
        }
        ++index;
    }
    return fallback;
}

// "A1:B2 D4": nothing when a part is no range inside the grid, or there are too many.
std::optional<std::vector<CellRange>> ParseSqref(std::string_view text) {
    std::vector<CellRange> ranges;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        if (end > at) {
            const auto range = ParseCellRange(text.substr(at, end - at));
            if (!range || ranges.size() >= kMaxRanges) {
                return std::nullopt;
            }
            ranges.push_back(*range);
        }
        at = end + 1;
    }
    if (ranges.empty()) {
        return std::nullopt;
    }
    return ranges;
}

void AppendSqref(Body& body, const std::vector<CellRange>& ranges) {
    body.U32(static_cast<std::uint32_t>(ranges.size()));
    for (const CellRange& range : ranges) {
        AppendRange(body, range);
    }
}

std::optional<std::string> Text(const AttrMap& attributes, std::string_view key) {
    const char* value = Get(attributes, key);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return DecodeEscapes(value);
}

std::string Shortened(std::string text) {
    constexpr std::size_t kMaxShown = 255;
    if (text.size() > kMaxShown) {
        text.resize(kMaxShown);
        text += "...";
    }
    return text;
}

// How a rule's XML type maps onto the record's type, template and parameter.
struct RuleKind {
    std::uint32_t type = 0;
    std::uint32_t templ = 0;
    std::int32_t param = 0;
};

constexpr std::uint32_t kTypeCellIs = 1;
constexpr std::uint32_t kTypeExpression = 2;
constexpr std::uint32_t kTypeTop10 = 5;

std::optional<RuleKind> KindOf(const AttrMap& rule) {
    const std::string type = Str(Get(rule, "type"));
    const auto number = [&rule](const char* key) {
        return static_cast<std::int32_t>(
            std::clamp<long long>(ParseInt(Get(rule, key)).value_or(0), 0, INT32_MAX));
    };
    if (type == "cellIs") {
        const std::uint32_t op =
            IndexIn(Str(Get(rule, "operator")),
                    {"", "between", "notBetween", "equal", "notEqual", "greaterThan", "lessThan",
                     "greaterThanOrEqual", "lessThanOrEqual"},
                    0);
        if (op == 0) {
            return std::nullopt;
        }
        return RuleKind{kTypeCellIs, 0, static_cast<std::int32_t>(op)};
    }
    if (type == "expression") {
        return RuleKind{kTypeExpression, 1, 0};
    }
    if (type == "top10") {
        return RuleKind{kTypeTop10, 5, number("rank")};
    }
    static constexpr std::pair<std::string_view, std::uint32_t> kPlain[] = {
        {"uniqueValues", 7},    {"containsBlanks", 9},     {"notContainsBlanks", 10},
        {"containsErrors", 11}, {"notContainsErrors", 12}, {"duplicateValues", 27},
    };
    for (const auto& [name, templ] : kPlain) {
        if (type == name) {
            return RuleKind{kTypeExpression, templ, 0};
        }
    }
    const std::uint32_t text =
        IndexIn(type, {"containsText", "notContainsText", "beginsWith", "endsWith"}, 4);
    if (text < 4) {
        return RuleKind{kTypeExpression, 8, static_cast<std::int32_t>(text)};
    }
    if (type == "timePeriod") {
        // Each period has its template; the parameter numbers the periods another way.
        static constexpr std::pair<std::string_view, std::pair<std::uint32_t, std::int32_t>>
            kPeriods[] = {
                {"today", {15, 0}},     {"yesterday", {17, 1}}, {"last7Days", {18, 2}},
                {"thisWeek", {21, 3}},  {"lastWeek", {23, 4}},  {"lastMonth", {19, 5}},
                {"tomorrow", {16, 6}},  {"nextWeek", {22, 7}},  {"nextMonth", {20, 8}},
                {"thisMonth", {24, 9}},
            };
        const std::string period = Str(Get(rule, "timePeriod"));
        for (const auto& [name, codes] : kPeriods) {
            if (period == name) {
                return RuleKind{kTypeExpression, codes.first, codes.second};
            }
        }
        return std::nullopt;
    }
    if (type == "aboveAverage") {
        const bool above = ParseBool(Get(rule, "aboveAverage"), true);
        const bool equal = ParseBool(Get(rule, "equalAverage"), false);
        const std::uint32_t templ = above ? (equal ? 29 : 25) : (equal ? 30 : 26);
        return RuleKind{kTypeExpression, templ, number("stdDev")};
    }
    return std::nullopt;
}

class Encoder {
  public:
    Encoder(FormulaScope& scope, int sheet, const std::string& sheetName, TranscodeReport& report)
        : scope_(scope), sheet_(sheet), sheetName_(sheetName), report_(report) {}

    void LeftOut(const std::string& where, std::string what) {
        report_.AddLeftOut({sheetName_, Shortened(where), std::move(what)});
    }

    // `first` is the first cell the rule applies to. Throws UnencodableFormula.
    EncodedFormula Formula(const std::string& text, FormulaKind kind, CellAddress first) {
        return EncodeRuleFormula(DecodeEscapes(text), kind, scope_, sheet_, {first.row, first.col});
    }

  private:
    FormulaScope& scope_;
    int sheet_;
    const std::string& sheetName_;
    TranscodeReport& report_;
};

std::optional<Body> RuleBody(const AttrMap& rule, const std::vector<std::string>& formulas,
                             CellAddress first, const std::string& where, Encoder& encoder) {
    const auto kind = KindOf(rule);
    if (!kind) {
        encoder.LeftOut(where, "a conditional format rule of the type \"" + Str(Get(rule, "type")) +
                                   "\" (" + Str(Get(rule, "operator")) +
                                   Str(Get(rule, "timePeriod")) + ")");
        return std::nullopt;
    }
    std::vector<EncodedFormula> encoded;
    for (const std::string& text : formulas) {
        try {
            encoded.push_back(encoder.Formula(text, FormulaKind::kCell, first));
        } catch (const UnencodableFormula& why) {
            encoder.LeftOut(where, "a conditional format rule whose formula =" + Shortened(text) +
                                       " has no token form (" + why.what() + ")");
            return std::nullopt;
        }
    }
    const std::string type = Str(Get(rule, "type"));
    std::uint16_t flags = 0;
    flags |= ParseBool(Get(rule, "stopIfTrue"), false) ? 0x0002 : 0;
    flags |= type == "aboveAverage" && ParseBool(Get(rule, "aboveAverage"), true) ? 0x0004 : 0;
    flags |= ParseBool(Get(rule, "bottom"), false) ? 0x0008 : 0;
    flags |= ParseBool(Get(rule, "percent"), false) ? 0x0010 : 0;
    const auto dxf = ParseInt(Get(rule, "dxfId"));
    Body body;
    body.U32(kind->type)
        .U32(kind->templ)
        .I32(dxf && *dxf >= 0 && *dxf <= INT32_MAX ? static_cast<std::int32_t>(*dxf) : -1)
        .I32(static_cast<std::int32_t>(
            std::clamp<long long>(ParseInt(Get(rule, "priority")).value_or(1), 1, INT32_MAX)))
        .I32(kind->param)
        .U32(0)
        .U32(0)
        .U16(flags);
    for (std::size_t i = 0; i < kMaxRuleFormulas; ++i) {
        body.U32(i < encoded.size() ? static_cast<std::uint32_t>(8 + encoded[i].rgce.size() +
                                                                 encoded[i].rgcb.size())
                                    : 0);
    }
    body.NullableWideString(kind->templ == 8 ? Text(rule, "text") : std::nullopt);
    for (const EncodedFormula& formula : encoded) {
        AppendParsedFormula(body, formula);
    }
    return body;
}

std::optional<Body> ValidationBody(const AttrMap& v, const std::vector<CellRange>& ranges,
                                   const std::vector<std::string>& formulas,
                                   const std::string& where, Encoder& encoder) {
    const std::string type = Str(Get(v, "type"));
    const std::uint32_t typeCode = IndexIn(
        type, {"none", "whole", "decimal", "list", "date", "time", "textLength", "custom"}, 8);
    if (typeCode == 8 && !type.empty()) {
        encoder.LeftOut(where, "a data validation of the type \"" + type + "\"");
        return std::nullopt;
    }
    // A list validation names cells, so its formula is a reference; the rest are values.
    const FormulaKind kind = typeCode == 3 ? FormulaKind::kName : FormulaKind::kCell;
    EncodedFormula encoded[2];
    for (std::size_t i = 0; i < 2 && i < formulas.size(); ++i) {
        if (formulas[i].empty()) {
            continue;
        }
        try {
            encoded[i] = encoder.Formula(formulas[i], kind, ranges.front().first);
        } catch (const UnencodableFormula& why) {
            encoder.LeftOut(where, "a data validation whose formula =" + Shortened(formulas[i]) +
                                       " has no token form (" + why.what() + ")");
            return std::nullopt;
        }
    }
    const bool explicitList = typeCode == 3 && !formulas.empty() && formulas[0].starts_with("\"");
    std::uint32_t flags = typeCode == 8 ? 0 : typeCode;
    flags |= IndexIn(Str(Get(v, "errorStyle")), {"stop", "warning", "information"}, 0) << 4;
    flags |= explicitList ? 1u << 7 : 0;
    flags |= ParseBool(Get(v, "allowBlank"), false) ? 1u << 8 : 0;
    // The XML attribute says "showDropDown" but means the reverse, as the record does.
    flags |= ParseBool(Get(v, "showDropDown"), false) ? 1u << 9 : 0;
    flags |= IndexIn(Str(Get(v, "imeMode")),
                     {"noControl", "off", "on", "disabled", "hiragana", "fullKatakana",
                      "halfKatakana", "fullAlpha", "halfAlpha", "fullHangul", "halfHangul"},
                     0)
             << 10;
    flags |= ParseBool(Get(v, "showInputMessage"), false) ? 1u << 18 : 0;
    flags |= ParseBool(Get(v, "showErrorMessage"), false) ? 1u << 19 : 0;
    flags |= IndexIn(Str(Get(v, "operator")),
                     {"between", "notBetween", "equal", "notEqual", "greaterThan", "lessThan",
                      "greaterThanOrEqual", "lessThanOrEqual"},
                     0)
             << 20;
    Body body;
    body.U32(flags);
    AppendSqref(body, ranges);
    body.NullableWideString(Text(v, "errorTitle"))
        .NullableWideString(Text(v, "error"))
        .NullableWideString(Text(v, "promptTitle"))
        .NullableWideString(Text(v, "prompt"));
    AppendParsedFormula(body, encoded[0]);
    AppendParsedFormula(body, encoded[1]);
    return body;
}

void WriteCustomFilter(RecordSink& sink, const AttrMap& filter) {
    constexpr std::uint8_t kDouble = 4;
    constexpr std::uint8_t kString = 6;
    const std::uint8_t op =
        static_cast<std::uint8_t>(IndexIn(Str(Get(filter, "operator")),
                                          {"", "lessThan", "equal", "lessThanOrEqual",
                                           "greaterThan", "notEqual", "greaterThanOrEqual"},
                                          2));
    const std::string value = DecodeEscapes(Str(Get(filter, "val")));
    Body body;
    if (const auto number = ParseDouble(value.c_str())) {
        body.U8(kDouble).U8(op).F64(*number);
    } else {
        body.U8(kString).U8(op).U32(0).U32(0).WideString(value);
    }
    sink.Write(rec::kCustomFilter, body);
}

}  // namespace

bool SheetRules::Full() {
    if (stored_ < kMaxItems) {
        ++stored_;
        return false;
    }
    ++skipped_;
    skipDepth_ = 1;
    return true;
}

bool SheetRules::Start(std::string_view name, const Attributes& a, std::string*& text) {
    if (skipDepth_ > 0) {
        ++skipDepth_;
        return true;
    }
    if (name == "extLst") {
        ++extensionDepth_;
        return false;
    }
    if (extensionDepth_ > 0) {
        StartExtension(name, a, text);
        return inFormat_ || inValidation_ || skipDepth_ > 0;
    }
    if (inRule_) {
        CfRule& rule = formats_.back().rules.back();
        if (name == "formula") {
            scratch_.clear();
            text = &scratch_;
            if (rule.formulas.size() < kMaxRuleFormulas) {
                text = &rule.formulas.emplace_back();
            }
        } else if (name == "colorScale" || name == "dataBar" || name == "iconSet") {
            rule.unsupported = "a conditional format drawn as a " + std::string(name);
        }
        return true;  // the colour stops, value objects and icons of such a rule
    }
    if (inFormat_) {
        if (name == "cfRule" && !Full()) {
            formats_.back().rules.push_back(
                {Keep(a, {"type", "dxfId", "priority", "stopIfTrue", "aboveAverage", "percent",
                          "bottom", "operator", "text", "timePeriod", "rank", "stdDev",
                          "equalAverage"}),
                 {},
                 {}});
            inRule_ = true;
        }
        return true;
    }
    if (inValidation_) {
        if (name == "formula1" || name == "formula2") {
            auto& formulas = validations_.back().formulas;
            formulas.resize(2);
            text = &formulas[name == "formula1" ? 0 : 1];
            text->clear();
        }
        return true;
    }
    if (inColumn_) {
        FilterColumn& column = filters_.back().columns.back();
        if (name == "filters") {
            column.filters = Keep(a, {"blank", "calendarType"});
            column.filters.emplace("present", "1");
        } else if (name == "filter" && !Full()) {
            column.values.push_back(Str(a.Get("val")));
        } else if (name == "customFilters") {
            column.custom = Keep(a, {"and"});
            column.custom.emplace("present", "1");
        } else if (name == "customFilter" && column.customFilters.size() < 2) {
            column.customFilters.push_back(Keep(a, {"operator", "val"}));
        } else if (name == "dateGroupItem" || name == "top10" || name == "dynamicFilter" ||
                   name == "colorFilter" || name == "iconFilter") {
            column.unsupported = "a filter by " + std::string(name);
        }
        return true;
    }
    if (inFilter_) {
        if (name == "filterColumn" && !Full()) {
            FilterColumn column;
            column.attributes = Keep(a, {"colId", "hiddenButton", "showButton"});
            filters_.back().columns.push_back(std::move(column));
            inColumn_ = true;
        }
        return true;  // and the sort state, which has no filter in it
    }
    if (name == "customSheetView") {
        inCustomView_ = true;
        return false;
    }
    if (name == "conditionalFormatting") {
        if (!Full()) {
            formats_.push_back({Str(a.Get("sqref")), {}, false});
            inFormat_ = true;
        }
        return true;
    }
    if (name == "dataValidation") {
        if (!Full()) {
            validations_.push_back({Keep(a, kValidationAttributes), Str(a.Get("sqref")), {}});
            inValidation_ = true;
        }
        return true;
    }
    if (name == "autoFilter" && !inCustomView_) {
        if (!Full()) {
            filters_.push_back({Str(a.Get("ref")), {}});
            inFilter_ = true;
        }
        return true;
    }
    return false;
}

// The later-version extension list holds validations whose formulas name other sheets, and
// conditional formats with formats of their own; both keep their formulas and ranges as
// element text.
void SheetRules::StartExtension(std::string_view name, const Attributes& a, std::string*& text) {
    if (inFormat_) {
        if (name == "cfRule" && !Full()) {
            formats_.back().rules.push_back(
                {Keep(a, {"type", "operator"}), {}, "a conditional format of the extension list"});
        } else if (name == "sqref") {
            text = &formats_.back().sqref;
        }
        return;
    }
    if (inValidation_) {
        auto& formulas = validations_.back().formulas;
        if (name == "formula1" || name == "formula2") {
            formulaSlot_ = name == "formula1" ? 0 : 1;
        } else if (name == "f" && formulaSlot_ >= 0) {
            formulas.resize(2);
            text = &formulas[static_cast<std::size_t>(formulaSlot_)];
        } else if (name == "sqref") {
            text = &validations_.back().sqref;
        }
        return;
    }
    if (name == "conditionalFormatting" && !Full()) {
        formats_.push_back({"", {}, true});
        inFormat_ = true;
    } else if (name == "dataValidation" && !Full()) {
        validations_.push_back({Keep(a, kValidationAttributes), "", {}});
        inValidation_ = true;
        formulaSlot_ = -1;
    }
}

bool SheetRules::End(std::string_view name) {
    if (skipDepth_ > 0) {
        --skipDepth_;
        return true;
    }
    if (name == "extLst") {
        extensionDepth_ = std::max(0, extensionDepth_ - 1);
        return false;
    }
    if (name == "customSheetView") {
        inCustomView_ = false;
        return false;
    }
    if (inRule_) {
        inRule_ = name != "cfRule";
        return true;
    }
    if (inFormat_) {
        inFormat_ = name != "conditionalFormatting";
        return true;
    }
    if (inValidation_) {
        inValidation_ = name != "dataValidation";
        if (name == "formula1" || name == "formula2") {
            formulaSlot_ = -1;
        }
        return true;
    }
    if (inColumn_) {
        inColumn_ = name != "filterColumn";
        return true;
    }
    if (inFilter_) {
        inFilter_ = name != "autoFilter";
        return true;
    }
    return false;
}

SheetRuleRecords SheetRules::Encode(FormulaScope& scope, int sheet, const std::string& sheetName,
                                    TranscodeReport& report) const {
    Encoder encoder(scope, sheet, sheetName, report);
    SheetRuleRecords out;

    // One autofilter to a sheet; its criteria where the record has a form for them.
    for (std::size_t i = 0; i < filters_.size(); ++i) {
        const AutoFilter& filter = filters_[i];
        const auto range = ParseCellRange(filter.ref);
        if (i > 0 || !range) {
            encoder.LeftOut(filter.ref, i > 0 ? "a second autofilter on the sheet"
                                              : "an autofilter on cells outside the grid");
            continue;
        }
        RecordSink sink;
        Body head;
        AppendRange(head, *range);
        sink.Write(rec::kBeginAFilter, head);
        for (const FilterColumn& column : filter.columns) {
            const auto colId = ParseInt(Get(column.attributes, "colId"));
            if (!colId || *colId < 0 || *colId > range->last.col - range->first.col) {
                encoder.LeftOut(filter.ref, "the criteria of an autofilter column outside it");
                continue;
            }
            std::uint16_t flags = 0;
            flags |= ParseBool(Get(column.attributes, "hiddenButton"), false) ? 0x1 : 0;
            flags |= ParseBool(Get(column.attributes, "showButton"), true) ? 0x2 : 0;
            sink.Write(rec::kBeginFilterColumn,
                       Body().U32(static_cast<std::uint32_t>(*colId)).U16(flags));
            if (!column.unsupported.empty()) {
                encoder.LeftOut(filter.ref, "the criteria of autofilter column " +
                                                std::to_string(*colId + 1) + ": " +
                                                column.unsupported);
            } else if (!column.filters.empty()) {
                const std::uint32_t calendar =
                    IndexIn(Str(Get(column.filters, "calendarType")),
                            {"none", "gregorian", "gregorianUs", "japan", "taiwan", "korea",
                             "hijri", "thai", "hebrew", "gregorianMeFrench", "gregorianArabic",
                             "gregorianXlitEnglish", "gregorianXlitFrench"},
                            0);
                sink.Write(rec::kBeginFilters,
                           Body()
                               .U32(ParseBool(Get(column.filters, "blank"), false) ? 1 : 0)
                               .U32(calendar));
                for (const std::string& value : column.values) {
                    sink.Write(rec::kFilter, Body().WideString(DecodeEscapes(value)));
                }
                sink.Write(rec::kEndFilters);
            } else if (!column.custom.empty()) {
                sink.Write(rec::kBeginCustomFilters,
                           Body().U32(ParseBool(Get(column.custom, "and"), false) ? 1 : 0));
                for (const AttrMap& custom : column.customFilters) {
                    WriteCustomFilter(sink, custom);
                }
                sink.Write(rec::kEndCustomFilters);
            }
            sink.Write(rec::kEndFilterColumn);
        }
        sink.Write(rec::kEndAFilter);
        out.autoFilter = sink.TakeBytes();
    }

    RecordSink formats;
    for (const ConditionalFormat& format : formats_) {
        const auto ranges = ParseSqref(format.sqref);
        std::vector<Body> rules;
        for (const CfRule& rule : format.rules) {
            if (!rule.unsupported.empty()) {
                encoder.LeftOut(format.sqref, rule.unsupported);
            } else if (!ranges) {
                encoder.LeftOut(format.sqref,
                                "a conditional format on cells the binary "
                                "workbook cannot name");
            } else if (auto body = RuleBody(rule.attributes, rule.formulas, ranges->front().first,
                                            format.sqref, encoder)) {
                rules.push_back(std::move(*body));
            }
        }
        if (rules.empty()) {
            continue;
        }
        Body head;
        head.U32(static_cast<std::uint32_t>(rules.size())).U32(0);
        AppendSqref(head, *ranges);
        formats.Write(rec::kBeginConditionalFormatting, head);
        for (const Body& rule : rules) {
            formats.Write(rec::kBeginCFRule, rule);
            formats.Write(rec::kEndCFRule);
        }
        formats.Write(rec::kEndConditionalFormatting);
    }
    out.conditionalFormats = formats.TakeBytes();

    std::vector<Body> validations;
    for (const Validation& validation : validations_) {
        const auto ranges = ParseSqref(validation.sqref);
        if (!ranges) {
            encoder.LeftOut(validation.sqref,
                            "a data validation on cells the binary workbook cannot name");
        } else if (auto body = ValidationBody(validation.attributes, *ranges, validation.formulas,
                                              validation.sqref, encoder)) {
            validations.push_back(std::move(*body));
        }
    }
    if (skipped_ > 0) {
        encoder.LeftOut("", std::to_string(skipped_) +
                                " conditional formats, validations or filter values beyond the "
                                "first " +
                                std::to_string(kMaxItems) + " of the sheet");
    }
    if (!validations.empty()) {
        RecordSink sink;
        // No window state, no drop-down object yet; then the count.
        sink.Write(rec::kBeginDVals, Body()
                                         .U16(0)
                                         .U32(0)
                                         .U32(0)
                                         .U32(0xFFFFFFFFu)
                                         .U32(static_cast<std::uint32_t>(validations.size())));
        for (const Body& body : validations) {
            sink.Write(rec::kDVal, body);
        }
        sink.Write(rec::kEndDVals);
        out.validations = sink.TakeBytes();
    }
    return out;
}

}  // namespace tabrook::calcserver::xlsb
