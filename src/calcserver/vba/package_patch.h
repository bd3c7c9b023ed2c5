#pragma once
// Rewrites a converted Open XML package with the VBA part and code names the source calls
// for; everything else is copied unchanged. The result appears whole or not at all.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "calcserver/vba/code_names.h"

namespace tabrook::calcserver::vba {

struct PackageChanges {
    // The content of the VBA part to put in place of any the package holds.
    std::optional<std::string> vbaProject;
    // Take out any VBA part (ignored when vbaProject is given).
    bool removeVba = false;
    // The main part's content type: macro-enabled, or the plain one.
    bool macroEnabled = false;
    // The code names to put in; empty ones, or nullopt, leave the package's as they are.
    std::optional<CodeNames> codeNames;
};

struct PatchResult {
    bool vbaPartRemoved = false;  // a VBA part the package held is gone (or was replaced)
    bool workbookCodeNameSet = false;
    std::size_t sheetCodeNamesSet = 0;
    std::vector<std::string> notes;  // code names left out, and why
};

// packageIn and packageOut may be the same file. Throws VbaError (a PackageError's message
// included) when the package is unreadable or cannot be written; packageOut is then as
// it was before.
PatchResult PatchPackage(const std::filesystem::path& packageIn,
                         const std::filesystem::path& packageOut, const PackageChanges& changes);

}  // namespace tabrook::calcserver::vba
