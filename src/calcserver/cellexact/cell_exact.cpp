#include "calcserver/cellexact/cell_exact.h"

#include <map>

#include "calcserver/biff/biff_workbook.h"
#include "calcserver/cellexact/package_parts.h"
#include "calcserver/cellexact/sheet_rewriter.h"
#include "calcserver/package/zip_package.h"

namespace tabrook::calcserver::cellexact {

namespace {

using package::PackageError;
using package::ZipReader;

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ignored;
    return std::filesystem::exists(b, ignored) && std::filesystem::equivalent(a, b, ignored);
}

void WritePackage(const ZipReader& zip, const std::filesystem::path& packageIn,
                  const std::filesystem::path& packageOut,
                  std::map<std::string, std::string>& rewritten) {
    if (rewritten.empty() && SameFile(packageIn, packageOut)) {
        return;
    }
    package::WriteWithParts(zip, packageOut, std::move(rewritten));
}

void AddReason(CellExactReport& report, const std::string& reason) {
    report.reason += (report.reason.empty() ? "" : "; ") + reason;
}

// Matches the source's worksheets to the package's by name and rewrites their cells.
std::map<std::string, std::string> ApplyToSheets(const biff::Workbook& workbook,
                                                 const ZipReader& zip, CellExactReport& report) {
    const std::vector<PackageSheet> parts = WorksheetParts(zip);
    SharedStringTable strings(SharedStrings(zip));
    const bool keepFormulas = HasCalcChain(zip);
    std::map<std::string, std::string> rewritten;
    for (const biff::Sheet& sheet : workbook.sheets) {
        if (!sheet.isWorksheet) {
            continue;
        }
        const PackageSheet* part = nullptr;
        for (const PackageSheet& candidate : parts) {
            if (candidate.name == sheet.name) {
                part = &candidate;
            }
        }
        if (part == nullptr) {
            report.unmatchedSheets.push_back(sheet.name);
            AddReason(report, "sheet \"" + sheet.name + "\" is not in the converted workbook");
            continue;
        }
        std::string xml = zip.Read(part->part);
        try {
            const SheetOutcome outcome = RewriteSheet(xml, sheet, strings, keepFormulas);
            report.cellsCompared += outcome.compared;
            report.cellsChanged += outcome.changed;
            report.numbersRefined += outcome.refined;
            report.cellsOutsideGrid += outcome.outsideGrid;
            report.textsCut += outcome.textsCut;
            if (outcome.modified) {
                rewritten[part->part] = std::move(xml);
            }
        } catch (const PackageError& error) {
            report.unmatchedSheets.push_back(sheet.name);
            AddReason(report, "sheet \"" + sheet.name + "\": " + error.what());
            continue;
        }
        ++report.sheetsMatched;
    }
    if (report.cellsOutsideGrid > 0) {
        AddReason(report, std::to_string(report.cellsOutsideGrid) +
                              " cells lie past the last row or column a sheet can have");
    }
    if (report.textsCut > 0) {
        AddReason(report, std::to_string(report.textsCut) +
                              " texts were longer than a cell holds and were cut");
    }
    rewritten.merge(strings.UpdatedParts(zip));
    return rewritten;
}

}  // namespace

CellExactReport ApplyStoredValues(const std::filesystem::path& sourceXls,
                                  const std::filesystem::path& packageIn,
                                  const std::filesystem::path& packageOut) {
    CellExactReport report;
    const ZipReader zip(packageIn);
    std::map<std::string, std::string> rewritten;
    try {
        const biff::Workbook workbook = biff::ReadWorkbook(sourceXls);
        rewritten = ApplyToSheets(workbook, zip, report);
        report.applied = report.sheetsMatched > 0;
    } catch (const biff::BiffError& error) {
        AddReason(report, std::string("the source workbook cannot be read: ") + error.what());
    } catch (const PackageError& error) {
        // The workbook part itself is unusable: leave the package exactly as it was written.
        report = CellExactReport{};
        rewritten.clear();
        AddReason(report, std::string("the converted workbook cannot be matched: ") + error.what());
    }
    WritePackage(zip, packageIn, packageOut, rewritten);
    return report;
}

}  // namespace tabrook::calcserver::cellexact
