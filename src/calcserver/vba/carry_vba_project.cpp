#include "calcserver/vba/carry_vba_project.h"

#include <optional>

#include "calcserver/biff/biff_workbook.h"
#include "calcserver/vba/package_patch.h"
#include "calcserver/vba/source_project.h"

namespace tabrook::calcserver::vba {
namespace {

CodeNames CodeNamesOf(const biff::Workbook& workbook) {
    CodeNames names;
    names.workbook = workbook.codeName;
    for (const biff::Sheet& sheet : workbook.sheets) {
        names.sheets.push_back({sheet.name, sheet.codeName, sheet.isWorksheet});
    }
    return names;
}

}  // namespace

VbaReport CarryVbaProject(const std::filesystem::path& sourceXls,
                          const std::filesystem::path& packageIn,
                          const std::filesystem::path& packageOut, bool macroEnabledTarget) {
    VbaReport report;
    SourceProject source;
    if (macroEnabledTarget) {
        source = ReadSourceProject(sourceXls, true);
    } else {
        // A target without macros drops the project anyway; a damaged one is no reason to
        // fail the conversion.
        try {
            source = ReadSourceProject(sourceXls, false);
        } catch (const VbaError& error) {
            report.notes.push_back(error.what());
        }
    }
    report.sourceHasProject = source.kind == ProjectKind::Current;

    PackageChanges changes;
    changes.macroEnabled = macroEnabledTarget;
    if (macroEnabledTarget && source.kind == ProjectKind::Current) {
        changes.vbaProject = std::move(source.compoundFile);
    } else if (macroEnabledTarget && source.kind == ProjectKind::Legacy) {
        report.notes.push_back(
            "the workbook's VBA project is in the format of Excel 5 or 95; the converted "
            "package keeps the engine's rebuild of it");
    } else if (macroEnabledTarget && source.kind == ProjectKind::Unreadable) {
        // The engine read the file where this reader cannot: its rebuild of any project is
        // the only copy there is, so it stays rather than failing the conversion.
        report.notes.push_back(source.reason +
                               "; the converted package keeps the engine's "
                               "own VBA part, if any");
    } else {
        changes.removeVba = true;
    }

    try {
        changes.codeNames = CodeNamesOf(biff::ReadWorkbook(sourceXls, {.cells = false}));
    } catch (const biff::BiffError& error) {
        // Without its code names a carried project's document modules would bind to
        // nothing: its events would stop firing, so that is a failure. Otherwise the names
        // only matter for a later edit, and the conversion goes on.
        if (changes.vbaProject) {
            throw VbaError(std::string("the code names of the workbook's sheets cannot be read: ") +
                           error.what());
        }
        report.notes.push_back(std::string("code names not restored: ") + error.what());
    }

    const PatchResult patched = PatchPackage(packageIn, packageOut, changes);
    report.projectCarried = changes.vbaProject.has_value();
    if (report.projectCarried) {
        report.streamsCopied = source.streams;
        report.storagesCopied = source.storages;
        report.signaturesDropped = source.droppedSignatures;
    }
    report.vbaPartRemoved = patched.vbaPartRemoved;
    report.workbookCodeNameSet = patched.workbookCodeNameSet;
    report.sheetCodeNamesSet = patched.sheetCodeNamesSet;
    report.notes.insert(report.notes.end(), patched.notes.begin(), patched.notes.end());
    return report;
}

}  // namespace tabrook::calcserver::vba
