#include "calcserver/finish/finish_package.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "calcserver/cellexact/cell_exact.h"
#include "calcserver/finish/package_check.h"
#include "calcserver/objects/carry_objects.h"
#include "calcserver/package/zip_package.h"
#include "calcserver/styles/source_formatting.h"
#include "calcserver/vba/carry_vba_project.h"
#include "calcserver/xlsb/transcoder.h"
#include "platform/atomic_file.h"
#include "platform/automation.h"
#include "platform/file_formats.h"

namespace tabrook::calcserver::finish {
namespace {

namespace fs = std::filesystem;
using platform::AutomationError;

std::string ErrnoText(int error) {
    return std::strerror(error);
}

// Copies `from` into a new temporary file beside `target` and moves it to the target's
// name, which it never takes from another file: the name was free when the caller chose
// it, but a conversion takes long enough for another program to put a file there.
void PlaceAtomically(const fs::path& from, const fs::path& target) {
    std::ifstream in(from, std::ios::binary);
    if (!in) {
        throw SaveRefused(target, "the converted workbook cannot be read back.");
    }
    try {
        platform::AtomicFile file(target);
        std::vector<char> buffer(1 << 16);
        while (in) {
            in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            file.Append(std::string_view(buffer.data(), static_cast<std::size_t>(in.gcount())));
        }
        if (in.bad()) {
            throw SaveRefused(target, "the converted workbook cannot be read back.");
        }
        file.Commit(platform::Placement::kNeverReplace);
    } catch (const platform::TargetTaken&) {
        throw SaveRefused(target,
                          "another file of that name appeared while the workbook was being "
                          "converted; it has been left as it was.");
    } catch (const platform::FileWriteError& error) {
        throw SaveRefused(target, std::string(error.what()) + ".");
    }
}

// Excel refuses, or opens only after "repairing", a package with a fault; such a package
// is never handed over as a success.
void RefuseFaultyPackage(const fs::path& package, const fs::path& target) {
    const std::vector<std::string> faults = PackageFaults(package);
    if (faults.empty()) {
        return;
    }
    std::string reason = "the converted workbook is damaged: " + faults.front();
    if (faults.size() > 1) {
        reason += " (and " + std::to_string(faults.size() - 1) + " more faults)";
    }
    throw SaveRefused(target, reason + ".");
}

constexpr auto kBinaryWorkbook = static_cast<std::int32_t>(platform::FileFormat::BinaryWorkbook);

// LibreOffice recalculated the workbook when it loaded it; every cell gets back the value
// and type the source had stored. A source it cannot read keeps the office's values.
void RestoreStoredValues(const FinishRequest& request, report::ConversionReport& report) {
    const cellexact::CellExactReport values =
        cellexact::ApplyStoredValues(request.source, request.officeOutput, request.officeOutput);
    report.Count("values.sheetsMatched", values.sheetsMatched);
    report.Count("values.cellsCompared", values.cellsCompared);
    report.Count("values.cellsChanged", values.cellsChanged);
    report.Count("values.numbersRefined", values.numbersRefined);
    if (values.cellsOutsideGrid > 0) {
        report.Count("values.cellsOutsideGrid", values.cellsOutsideGrid);
        report.Add("values", "cells past the last row or column of the format were left out");
    }
    if (values.textsCut > 0) {
        report.Count("values.textsCut", values.textsCut);
        report.Add("values", "texts longer than a cell holds were cut to 32,767 characters");
    }
    for (const std::string& sheet : values.unmatchedSheets) {
        report.Add("values", "sheet not matched: its cells keep the values LibreOffice computed",
                   sheet);
    }
    if (!values.reason.empty()) {
        report.Add("values", values.reason);
    }
}

// LibreOffice rewrote the formatting in its own terms; every cell gets back the format the
// source gave it. A source it cannot read keeps the office's formatting.
void RestoreFormatting(const FinishRequest& request, report::ConversionReport& report) {
    const styles::FormattingReport formatting =
        styles::ApplySourceFormatting(request.source, request.officeOutput, request.officeOutput);
    report.Count("formatting.cellsPointed", formatting.cellsPointed);
    if (formatting.cellsUnmatched > 0) {
        report.Count("formatting.cellsUnmatched", formatting.cellsUnmatched);
    }
    if (formatting.damagedRecords > 0) {
        report.Add("formatting", std::to_string(formatting.damagedRecords) +
                                     " damaged formatting records of the source left out");
    }
    for (const std::string& sheet : formatting.unmatchedSheets) {
        report.Add("formatting", "sheet not matched: it keeps LibreOffice's formatting", sheet);
    }
    for (const auto& [name, amount] : {std::pair{"names.renamed", formatting.namesRenamed},
                                       std::pair{"names.added", formatting.namesAdded}}) {
        if (amount > 0) {
            report.Count(name, amount);
        }
    }
    for (const std::string& note : formatting.nameNotes) {
        report.Add("names", note);
    }
    if (!formatting.reason.empty()) {
        report.Add("formatting", "formatting not restored: " + formatting.reason);
    }
}

// Embedded objects, controls and charts the office would drop or misplace.
void CarryObjects(const FinishRequest& request, report::ConversionReport& report) {
    const objects::ObjectsReport carried =
        objects::CarryObjects(request.source, request.officeOutput, request.officeOutput);
    for (const auto& [name, amount] :
         {std::pair{"objects.embeddedCarried", carried.embeddedCarried},
          std::pair{"objects.controlsCarried", carried.controlsCarried},
          std::pair{"objects.formControlsRebuilt", carried.formControlsRebuilt},
          std::pair{"objects.chartsInResult", carried.chartsInResult},
          std::pair{"objects.chartsWritten", carried.chartsWritten},
          std::pair{"objects.frozenPanesRestored", carried.frozenPanesRestored}}) {
        if (amount > 0) {
            report.Count(name, amount);
        }
    }
    for (const std::string& note : carried.notes) {
        report.Add("objects", note);
    }
}

// The workbook's own VBA project and code names, in place of the office's rebuild.
void CarryMacros(const FinishRequest& request, report::ConversionReport& report) {
    const platform::FileFormatInfo* format = platform::FindFileFormat(request.formatCode);
    const bool macroEnabled = format != nullptr && format->keepsMacros;
    const vba::VbaReport macros = vba::CarryVbaProject(request.source, request.officeOutput,
                                                       request.officeOutput, macroEnabled);
    if (macros.projectCarried) {
        report.Count("vba.streamsCopied", macros.streamsCopied);
    }
    if (macros.sourceHasProject && !macros.projectCarried) {
        report.Add("vba", macroEnabled ? "the VBA project is left as LibreOffice rebuilt it"
                                       : "the VBA project is left out: the format holds no macros");
    }
    for (const std::string& signature : macros.signaturesDropped) {
        report.Add("vba", "digital signature left out (it no longer matches)", signature);
    }
    for (const std::string& note : macros.notes) {
        report.Add("vba", note);
    }
}

void WriteBinary(const FinishRequest& request, const fs::path& finished,
                 report::ConversionReport& report) {
    const xlsb::TranscodeReport binary = xlsb::TranscodeToXlsb(request.officeOutput, finished);
    report.Count("xlsb.cells", binary.cells);
    report.Count("xlsb.formulas", binary.formulas);
    if (binary.unencodedCount > 0) {
        report.Count("xlsb.formulasKeptAsValues", binary.unencodedCount);
    }
    for (const xlsb::UnencodedFormula& formula : binary.unencoded) {
        report.Add("xlsb",
                   "formula kept as its value: =" + formula.formula + " (" + formula.reason + ")",
                   formula.sheet + "!" + formula.cell);
    }
    if (binary.leftOutCount > 0) {
        report.Count("xlsb.rulesLeftOut", binary.leftOutCount);
    }
    for (const xlsb::LeftOutRule& rule : binary.leftOut) {
        report.Add("xlsb", "left out: " + rule.what, rule.sheet + "!" + rule.where);
    }
}

}  // namespace

AutomationError SaveRefused(const fs::path& target, const std::string& reason) {
    return AutomationError(platform::kErrApplicationDefined,
                           "Tabrook cannot save '" + target.string() + "': " + reason);
}

void CheckTarget(const fs::path& source, const fs::path& target) {
    if (target.empty() || !target.has_filename()) {
        throw AutomationError(platform::kErrApplicationDefined,
                              "Tabrook cannot save the workbook: no file name was given.");
    }
    const fs::path folder = target.parent_path();
    std::error_code error;
    const auto folderStatus = fs::status(folder, error);
    if (folderStatus.type() == fs::file_type::not_found) {
        throw SaveRefused(target, "the folder '" + folder.string() + "' does not exist.");
    }
    if (folderStatus.type() != fs::file_type::directory) {
        throw SaveRefused(target, "'" + folder.string() + "' is not a folder.");
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        throw SaveRefused(target, "the folder '" + folder.string() + "' cannot be written (" +
                                      ErrnoText(errno) + ").");
    }
    if (fs::is_directory(target, error)) {
        throw SaveRefused(target, "a folder of that name is in the way.");
    }
    if (fs::equivalent(source, target, error)) {
        throw SaveRefused(target,
                          "that is the workbook being converted, which is never saved over.");
    }
    if (fs::exists(fs::symlink_status(target, error))) {
        throw SaveRefused(target,
                          "a file of that name is already there, and Tabrook never "
                          "replaces one.");
    }
}

report::ConversionReport FinishPackage(const FinishRequest& request) {
    try {
        const package::ZipReader written(request.officeOutput);
        if (!written.Has("[Content_Types].xml")) {
            throw package::PackageError("no content types");
        }
    } catch (const package::PackageError&) {
        throw SaveRefused(request.target, "LibreOffice did not write a complete workbook.");
    }
    CheckTarget(request.source, request.target);

    // The office's output is private to this save, so the steps rewrite it in place; the
    // target is only ever written whole, by the last step.
    fs::path finished = request.officeOutput;
    struct RemoveBinary {
        fs::path file;
        ~RemoveBinary() {
            std::error_code ignored;
            fs::remove(file, ignored);
        }
    } removeBinary;
    report::ConversionReport report;
    try {
        for (const std::string& part : MendPackage(request.officeOutput)) {
            report.Add("package", "part mended as Excel expects it", part);
        }
        RestoreStoredValues(request, report);
        RestoreFormatting(request, report);
        CarryMacros(request, report);
        CarryObjects(request, report);
        if (request.formatCode == kBinaryWorkbook) {
            finished = fs::path(request.officeOutput).replace_extension(".xlsb");
            removeBinary.file = finished;
            WriteBinary(request, finished, report);
        }
    } catch (const AutomationError&) {
        throw;
    } catch (const std::exception& error) {
        throw SaveRefused(request.target, std::string(error.what()) + ".");
    }
    RefuseFaultyPackage(finished, request.target);
    PlaceAtomically(finished, request.target);
    std::error_code error;
    const auto written = fs::file_size(request.target, error);
    if (error || written != fs::file_size(finished, error) || error) {
        fs::remove(request.target, error);
        throw SaveRefused(request.target, "the file did not arrive complete.");
    }
    return report;
}

}  // namespace tabrook::calcserver::finish
