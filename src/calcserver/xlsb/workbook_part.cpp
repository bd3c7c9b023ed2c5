#include "calcserver/xlsb/workbook_part.h"

#include <algorithm>
#include <cctype>
#include <pugixml.hpp>

#include "calcserver/xlsb/ooxml_text.h"
#include "calcserver/xlsb/record_ids.h"
#include "calcserver/xlsb/record_writer.h"
#include "calcserver/xlsb/xlsb_error.h"

namespace tabrook::calcserver::xlsb {
namespace {

// Sheet and defined names compare without regard to ASCII letter case.
bool SameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) ==
               std::toupper(static_cast<unsigned char>(y));
    });
}

std::uint32_t SheetState(std::string_view state) {
    if (state == "hidden") {
        return 1;
    }
    if (state == "veryHidden") {
        return 2;
    }
    return 0;
}

}  // namespace

WorkbookInfo ParseWorkbook(std::string_view xml) {
    pugi::xml_document doc;
    const auto parsed = doc.load_buffer(xml.data(), xml.size());
    if (!parsed) {
        throw XlsbError(std::string("the workbook part cannot be read: ") + parsed.description());
    }
    const pugi::xml_node root = doc.child("workbook");
    WorkbookInfo info;
    const pugi::xml_node properties = root.child("workbookPr");
    info.codeName = properties.attribute("codeName").as_string();
    info.date1904 = ParseBool(properties.attribute("date1904").as_string(nullptr), false);
    const pugi::xml_node view = root.child("bookViews").child("workbookView");
    info.activeTab = view.attribute("activeTab").as_uint(0);
    info.firstTab = view.attribute("firstSheet").as_uint(0);
    info.manualCalc =
        std::string_view(root.child("calcPr").attribute("calcMode").as_string()) == "manual";
    for (const pugi::xml_node sheet : root.child("sheets").children("sheet")) {
        SheetEntry entry;
        entry.name = sheet.attribute("name").as_string();
        entry.sheetId = sheet.attribute("sheetId").as_uint(0);
        entry.state = SheetState(sheet.attribute("state").as_string());
        entry.relId = RelationshipId(sheet);
        info.sheets.push_back(std::move(entry));
    }
    if (info.sheets.empty()) {
        throw XlsbError("the workbook has no sheets");
    }
    for (const pugi::xml_node link :
         root.child("externalReferences").children("externalReference")) {
        info.externals.push_back({RelationshipId(link), false, {}});
    }
    for (const pugi::xml_node name : root.child("definedNames").children("definedName")) {
        DefinedName entry;
        entry.name = name.attribute("name").as_string();
        entry.sheet =
            name.attribute("localSheetId") ? name.attribute("localSheetId").as_int(-1) : -1;
        entry.hidden = ParseBool(name.attribute("hidden").as_string(nullptr), false);
        entry.macro = ParseBool(name.attribute("function").as_string(nullptr), false);
        entry.vbProcedure = ParseBool(name.attribute("vbProcedure").as_string(nullptr), false);
        entry.xlm = ParseBool(name.attribute("xlm").as_string(nullptr), false);
        entry.formula = name.text().as_string();
        info.names.push_back(std::move(entry));
    }
    if (info.activeTab >= info.sheets.size()) {
        info.activeTab = 0;
    }
    return info;
}

std::optional<int> WorkbookScope::SheetIndex(int book, std::string_view name) const {
    if (book < 0 || static_cast<std::size_t>(book) > workbook_.externals.size()) {
        return std::nullopt;
    }
    if (book > 0) {
        const ExternalBook& external = workbook_.externals[static_cast<std::size_t>(book - 1)];
        for (std::size_t i = 0; external.linked && i < external.sheetNames.size(); ++i) {
            if (SameName(external.sheetNames[i], name)) {
                return static_cast<int>(i);
            }
        }
        return std::nullopt;
    }
    for (std::size_t i = 0; i < workbook_.sheets.size(); ++i) {
        if (SameName(workbook_.sheets[i].name, name)) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

std::uint16_t WorkbookScope::ExternSheet(int book, int firstSheet, int lastSheet) {
    const Span key{book, firstSheet, lastSheet};
    const auto found = std::find(externSheets_.begin(), externSheets_.end(), key);
    if (found != externSheets_.end()) {
        return static_cast<std::uint16_t>(found - externSheets_.begin());
    }
    if (externSheets_.size() >= 0xFFFF) {
        throw UnencodableFormula("too many distinct sheet spans");
    }
    externSheets_.push_back(key);
    return static_cast<std::uint16_t>(externSheets_.size() - 1);
}

std::optional<std::uint32_t> WorkbookScope::NameIndex(std::string_view name, int sheet) const {
    std::optional<std::uint32_t> global;
    for (std::size_t i = 0; i < workbook_.names.size(); ++i) {
        const DefinedName& entry = workbook_.names[i];
        if (!SameName(entry.name, name)) {
            continue;
        }
        if (entry.sheet == sheet && sheet >= 0) {
            return static_cast<std::uint32_t>(i + 1);
        }
        if (entry.sheet < 0) {
            global = static_cast<std::uint32_t>(i + 1);
        }
    }
    return global;
}

std::string WorkbookRecords(const WorkbookInfo& workbook, const WorkbookScope& scope,
                            const std::vector<EncodedFormula>& nameFormulas) {
    RecordSink sink;
    sink.Write(rec::kBeginBook);
    sink.Write(rec::kFileVersion, Body()
                                      .Raw(std::string(16, '\0'))
                                      .WideString("xl")
                                      .WideString("7")
                                      .WideString("7")
                                      .WideString("1"));
    sink.Write(rec::kWbProp,
               Body().U32(workbook.date1904 ? 0x1 : 0x0).U32(0).WideString(workbook.codeName));

    sink.Write(rec::kBeginBookViews);
    sink.Write(rec::kBookView, Body()
                                   .I32(0)
                                   .I32(0)
                                   .I32(28800)
                                   .I32(17400)
                                   .U32(600)
                                   .U32(workbook.firstTab)
                                   .U32(workbook.activeTab)
                                   .U8(0x78));  // scroll bars, sheet tabs, date grouping
    sink.Write(rec::kEndBookViews);

    sink.Write(rec::kBeginBundleShs);
    for (const SheetEntry& sheet : workbook.sheets) {
        sink.Write(rec::kBundleSh, Body()
                                       .U32(sheet.state)
                                       .U32(sheet.sheetId)
                                       .NullableWideString(sheet.relId)
                                       .WideString(sheet.name));
    }
    sink.Write(rec::kEndBundleShs);

    // Supporting links: each linked external workbook in order, then this workbook.
    std::vector<std::uint32_t> linkOfBook(workbook.externals.size() + 1, 0);
    std::uint32_t links = 0;
    for (std::size_t i = 0; i < workbook.externals.size(); ++i) {
        if (workbook.externals[i].linked) {
            linkOfBook[i + 1] = links++;
        }
    }
    linkOfBook[0] = links;
    if (links > 0 || !scope.ExternSheets().empty()) {
        sink.Write(rec::kBeginExternals);
        for (const ExternalBook& external : workbook.externals) {
            if (external.linked) {
                sink.Write(rec::kSupBookSrc, Body().NullableWideString(external.relId));
            }
        }
        sink.Write(rec::kSupSelf);
        Body table;
        table.U32(static_cast<std::uint32_t>(scope.ExternSheets().size()));
        for (const auto& span : scope.ExternSheets()) {
            table.U32(linkOfBook.at(static_cast<std::size_t>(span.book)))
                .I32(span.first)
                .I32(span.last);
        }
        sink.Write(rec::kExternSheet, table);
        sink.Write(rec::kEndExternals);
    }

    for (std::size_t i = 0; i < workbook.names.size(); ++i) {
        const DefinedName& name = workbook.names[i];
        std::uint32_t flags = (name.hidden ? 0x1 : 0x0) | (name.xlm ? 0x2 : 0x0) |
                              (name.vbProcedure ? 0x4 : 0x0) | (name.macro ? 0x8 : 0x0);
        std::string_view stored = name.name;
        // Office Open XML marks built-in names ("Print_Area") with a prefix; the binary
        // record marks them with a flag and keeps the bare name.
        if (stored.starts_with("_xlnm.")) {
            flags |= 0x20;
            stored.remove_prefix(6);
        }
        Body body;
        body.U32(flags)
            .U8(0)
            .U32(name.sheet < 0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(name.sheet))
            .WideString(stored);
        AppendParsedFormula(body, nameFormulas.at(i));
        body.NullableWideString(std::nullopt);
        sink.Write(rec::kName, body);
    }

    // Recalculate everything on load, so that no cached value outlives its formula.
    sink.Write(rec::kCalcProp, Body()
                                   .U32(0)
                                   .U32(workbook.manualCalc ? 0 : 1)
                                   .U32(100)
                                   .F64(0.001)
                                   .U32(1)
                                   .U16(0x0001 | 0x0002 | 0x0008 | 0x0020));
    sink.Write(rec::kEndBook);
    return sink.TakeBytes();
}

}  // namespace tabrook::calcserver::xlsb
