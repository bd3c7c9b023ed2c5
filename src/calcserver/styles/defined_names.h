#pragma once
// The source's defined names in the workbook part: LibreOffice renames names that hold
// characters it does not accept ("\" becomes "_"), drops filter ranges and names bound to
// macros, and forgets the hidden and macro flags. Each source name is kept, renamed back
// or added with its formula decoded from the source; a name that cannot be written
// exactly is left out and reported, never guessed.

#include <cstddef>
#include <optional>
#include <pugixml.hpp>
#include <set>
#include <string>
#include <string_view>
#include <utility>
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

// The identifiers (lower case) of the package's formula text. Only a name LibreOffice
// renamed asks about them, and finding them means reading every part, so they are found at
// the first question. The parts must outlive it.
class FormulaWords {
  public:
    explicit FormulaWords(std::vector<std::string_view> parts) : parts_(std::move(parts)) {}
    bool Contains(const std::string& lowerCaseWord) const;

  private:
    std::vector<std::string_view> parts_;
    mutable std::optional<std::set<std::string>> words_;
};

// A name LibreOffice renamed and a formula still calls keeps LibreOffice's spelling beside
// the source's, so that the formula goes on working.
NamesOutcome RestoreDefinedNames(pugi::xml_document& workbookPart, const biff::Workbook& source,
                                 const FormulaWords& formulaWords);

}  // namespace tabrook::calcserver::styles
