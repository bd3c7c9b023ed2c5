#pragma once
// The source's defined names in the workbook part: LibreOffice renames names that hold
// characters it does not accept ("\" becomes "_"), drops filter ranges and names bound to
// macros, and forgets the hidden and macro flags. Each source name is kept, renamed back
// or added with its formula decoded from the source; a name that cannot be written
// exactly is left out and reported, never guessed.

#include <cstddef>
#include <pugixml.hpp>
#include <set>
#include <string>
#include <vector>

#include "calcserver/biff/biff_workbook.h"

namespace tabrook::calcserver::styles {

struct NamesOutcome {
    bool changed = false;
    std::size_t kept = 0;            // LibreOffice's name, flags put right where they differed
    std::size_t renamed = 0;         // LibreOffice's name given back the source's spelling
    std::size_t added = 0;           // dropped by LibreOffice, written from the source
    std::vector<std::string> notes;  // one line per name left out, with why
};

// `formulaWords` holds every identifier (lower case) the package's formulas use: a name
// LibreOffice renamed and a formula still calls keeps LibreOffice's spelling beside the
// source's, so that the formula goes on working.
NamesOutcome RestoreDefinedNames(pugi::xml_document& workbookPart, const biff::Workbook& source,
                                 const std::set<std::string>& formulaWords);

// The identifiers of formula text in `xml` (lower case), for RestoreDefinedNames.
void CollectFormulaWords(std::string_view xml, std::set<std::string>& words);

}  // namespace tabrook::calcserver::styles
