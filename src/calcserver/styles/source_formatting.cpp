#include "calcserver/styles/source_formatting.h"

#include <map>
#include <pugixml.hpp>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

#include "calcserver/biff/biff_workbook.h"
#include "calcserver/cellexact/package_parts.h"
#include "calcserver/package/xml_names.h"
#include "calcserver/package/zip_package.h"
#include "calcserver/styles/defined_names.h"
#include "calcserver/styles/sheet_layout.h"
#include "calcserver/styles/stylesheet_builder.h"

namespace tabrook::calcserver::styles {

namespace {

using package::ChildNamed;
using package::LocalName;
using package::PackageError;
using package::ZipReader;

void AddReason(FormattingReport& report, const std::string& reason) {
    report.reason += (report.reason.empty() ? "" : "; ") + reason;
}

const char* StateName(biff::Sheet::Visibility visibility) {
    switch (visibility) {
        case biff::Sheet::Visibility::Hidden:
            return "hidden";
        case biff::Sheet::Visibility::VeryHidden:
            return "veryHidden";
        default:
            return nullptr;
    }
}

// The source's sheet states (a very hidden sheet stays very hidden); the sheet the
// workbook opens at is never hidden, as Excel would refuse it.
bool RestoreSheetStates(pugi::xml_document& document, const biff::Workbook& workbook) {
    const pugi::xml_node root = document.document_element();
    const pugi::xml_node view = ChildNamed(ChildNamed(root, "bookViews"), "workbookView");
    const unsigned activeTab = view.attribute("activeTab").as_uint(0);
    std::map<std::string, const biff::Sheet*> byName;
    for (const biff::Sheet& sheet : workbook.sheets) {
        byName.emplace(sheet.name, &sheet);
    }
    bool changed = false;
    unsigned position = 0;
    for (pugi::xml_node sheet : ChildNamed(root, "sheets").children()) {
        if (LocalName(sheet) != "sheet") {
            continue;
        }
        const auto source = byName.find(sheet.attribute("name").value());
        const unsigned at = position++;
        if (source == byName.end() || at == activeTab) {
            continue;
        }
        const char* wanted = StateName(source->second->visibility);
        const std::string_view current = sheet.attribute("state").value();
        if (wanted == nullptr && !current.empty() && current != "visible") {
            sheet.remove_attribute("state");
            changed = true;
        } else if (wanted != nullptr && current != wanted) {
            (sheet.attribute("state") ? sheet.attribute("state") : sheet.append_attribute("state"))
                .set_value(wanted);
            changed = true;
        }
    }
    return changed;
}

// Sheet states and defined names, both in the workbook part.
void RestoreWorkbookPart(const biff::Workbook& workbook, const ZipReader& zip,
                         std::map<std::string, std::string>& rewritten, FormattingReport& report) {
    std::vector<std::string_view> formulaParts;
    for (const auto& [part, xml] : rewritten) {
        formulaParts.emplace_back(xml);
    }
    const FormulaWords formulaWords(std::move(formulaParts));
    const std::string workbookPart = cellexact::WorkbookPartOf(zip);
    pugi::xml_document document;
    const std::string xml = zip.Read(workbookPart);
    const unsigned parsing = pugi::parse_default | pugi::parse_declaration | pugi::parse_ws_pcdata;
    if (!document.load_buffer(xml.data(), xml.size(), parsing)) {
        throw PackageError("the workbook part is not well-formed XML");
    }
    const bool statesChanged = RestoreSheetStates(document, workbook);
    NamesOutcome names = RestoreDefinedNames(document, workbook, formulaWords);
    report.namesKept = names.kept;
    report.namesRenamed = names.renamed;
    report.namesAdded = names.added;
    report.nameNotes = std::move(names.notes);
    if (statesChanged || names.changed) {
        std::ostringstream out;
        document.save(out, "", pugi::format_raw, pugi::encoding_utf8);
        rewritten[workbookPart] = out.str();
    }
}

std::map<std::string, std::string> Restyle(const biff::Workbook& workbook, const ZipReader& zip,
                                           FormattingReport& report) {
    const std::string stylesPart = cellexact::WorkbookRelatedPart(zip, "styles");
    if (stylesPart.empty()) {
        throw PackageError("the converted workbook has no styles part");
    }
    const Stylesheet stylesheet = BuildStylesheet(workbook.formats, zip.Read(stylesPart));
    std::map<std::string, std::string> rewritten;
    rewritten[stylesPart] = stylesheet.xml;
    const std::vector<cellexact::PackageSheet> parts = cellexact::WorksheetParts(zip);
    std::map<std::string, const biff::Sheet*> sources;
    for (const biff::Sheet& sheet : workbook.sheets) {
        if (sheet.isWorksheet) {
            sources.emplace(sheet.name, &sheet);
        }
    }
    static const biff::SheetFormats kNoLayout;
    for (const cellexact::PackageSheet& part : parts) {
        // A sheet the source does not describe still points into the new styles part, so
        // its cells take the source's default format.
        const auto source = sources.find(part.name);
        const biff::SheetFormats& layout =
            source == sources.end() ? kNoLayout : source->second->formats;
        if (source == sources.end()) {
            report.unmatchedSheets.push_back(part.name);
            AddReason(report, "sheet \"" + part.name +
                                  "\" is not a worksheet of the source; its cells take the "
                                  "source's default format");
        } else {
            ++report.sheetsMatched;
            report.damagedRecords += layout.damagedRecords;
        }
        std::string xml = zip.Read(part.part);
        const SheetLayoutOutcome outcome = RestoreSheetLayout(xml, layout, stylesheet.cellFormatOf);
        report.cellsPointed += outcome.cellsPointed;
        report.cellsUnmatched += outcome.cellsUnmatched;
        report.blanksAdded += outcome.blanksAdded;
        rewritten[part.part] = std::move(xml);
    }
    RestoreWorkbookPart(workbook, zip, rewritten, report);
    return rewritten;
}

}  // namespace

FormattingReport ApplySourceFormatting(const std::filesystem::path& sourceXls,
                                       const std::filesystem::path& packageIn,
                                       const std::filesystem::path& packageOut) {
    FormattingReport report;
    const ZipReader zip(packageIn);
    std::map<std::string, std::string> rewritten;
    try {
        biff::ReadOptions options;
        options.cells = false;
        options.formats = true;
        options.names = true;
        const biff::Workbook workbook = biff::ReadWorkbook(sourceXls, options);
        report.damagedRecords = workbook.formats.damagedRecords;
        rewritten = Restyle(workbook, zip, report);
        report.applied = true;
    } catch (const biff::BiffError& error) {
        AddReason(report, std::string("the source workbook cannot be read: ") + error.what());
    } catch (const PackageError& error) {
        // All or nothing: a part left behind would point into the wrong styles.
        report = FormattingReport{};
        rewritten.clear();
        AddReason(report, std::string("the converted workbook keeps the office's formatting: ") +
                              error.what());
    }
    if (report.damagedRecords > 0) {
        AddReason(report, std::to_string(report.damagedRecords) +
                              " formatting records of the source are damaged and were left out");
    }
    if (rewritten.empty() && packageIn == packageOut) {
        return report;
    }
    package::WriteWithParts(zip, packageOut, std::move(rewritten));
    return report;
}

}  // namespace tabrook::calcserver::styles
