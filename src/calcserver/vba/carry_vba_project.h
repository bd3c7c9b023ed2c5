#pragma once
// Carries a legacy workbook's own VBA project and code names into the Open XML package the
// engine converted it to. The engine's own VBA export rebuilds the project from module
// source only and loses compiled code, forms, references, passwords and the code names
// that bind document modules to their sheets.

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "calcserver/vba/vba_error.h"

namespace tabrook::calcserver::vba {

struct VbaReport {
    bool sourceHasProject = false;  // the source holds a _VBA_PROJECT_CUR storage
    bool projectCarried = false;    // xl/vbaProject.bin now is that project
    std::size_t streamsCopied = 0;
    std::size_t storagesCopied = 0;
    std::vector<std::string> signaturesDropped;  // names of the signature streams left out
    bool vbaPartRemoved = false;  // a VBA part the package held was taken out or replaced
    bool workbookCodeNameSet = false;
    std::size_t sheetCodeNamesSet = 0;
    // Plain sentences on what was left as it was, and why.
    std::vector<std::string> notes;
};

// packageIn: the .xlsm (or .xlsx) the engine wrote; packageOut may be the same path.
// With a macro-enabled target and a source project, xl/vbaProject.bin becomes a new
// compound file holding that project's storages and streams unchanged (signatures aside)
// and the main part gets the macro-enabled content type. Without a source project, or for
// a target without macros, the package keeps no VBA part. An old-style (_VBA_PROJECT) source
// project is beyond this carrier: the engine's rebuilt part is then kept, with a note.
// The source's code names of the workbook and its sheets go into the package in every
// case, onto objects of the same kind only.
// Throws VbaError with a plain reason when the source's VBA project is damaged or the
// package cannot be read or written; packageOut is then as it was.
VbaReport CarryVbaProject(const std::filesystem::path& sourceXls,
                          const std::filesystem::path& packageIn,
                          const std::filesystem::path& packageOut, bool macroEnabledTarget);

}  // namespace tabrook::calcserver::vba
