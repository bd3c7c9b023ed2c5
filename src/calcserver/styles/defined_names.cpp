#include "calcserver/styles/defined_names.h"

#include <iterator>
#include <map>
#include <optional>
#include <utility>

#include "calcserver/biff/formula_text.h"
#include "calcserver/package/xml_names.h"
#include "calcserver/xlsb/cell_ref.h"

namespace tabrook::calcserver::styles {

namespace {

using package::ChildNamed;
using package::LocalName;

constexpr std::size_t kMaxNameLength = 255;

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

// Bytes of UTF-8 past ASCII count as letters: names in any script are allowed.
bool IsNameStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '\\' || c >= 0x80;
}

bool IsNamePart(unsigned char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '.' || c == '?';
}

// What Office Open XML accepts as a defined name: a letter, "_" or "\" first, then
// letters, digits, "_", ".", "\" or "?"; not a cell reference, nor R1C1 ("R", "C", "R2C3").
std::string InvalidNameReason(const std::string& name) {
    if (name.empty()) {
        return "it has no name";
    }
    if (name.size() > kMaxNameLength) {
        return "the name is longer than 255 characters";
    }
    bool valid = IsNameStart(static_cast<unsigned char>(name[0]));
    for (const char c : name) {
        valid = valid && IsNamePart(static_cast<unsigned char>(c));
    }
    if (!valid) {
        return "the name holds characters a name cannot hold";
    }
    const std::string lower = Lower(name);
    const bool rowOrColumn = (lower[0] == 'r' || lower[0] == 'c') &&
                             lower.find_first_not_of("rc0123456789") == std::string::npos;
    if (xlsb::ParseCellAddress(name) || rowOrColumn) {
        return "the name reads as a cell reference";
    }
    return {};
}

// Built-in names that describe one sheet, which Excel accepts only with the sheet's scope.
bool IsSheetBuiltIn(const std::string& name) {
    const std::string lower = Lower(name);
    return lower == "_xlnm.print_area" || lower == "_xlnm.print_titles" ||
           lower == "_xlnm._filterdatabase";
}

// LibreOffice's spelling of a name it does not accept: each character outside its set
// becomes "_".
std::string OfficeSpelling(const std::string& name) {
    std::string out = name;
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        const bool kept = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                          (byte >= '0' && byte <= '9') || byte == '_' || byte == '.' ||
                          byte >= 0x80;
        if (!kept) {
            c = '_';
        }
    }
    return out;
}

// A name's identity in the package: lower-case name and sheet position (-1 global).
using NameKey = std::pair<std::string, int>;

NameKey KeyOf(const pugi::xml_node& name) {
    const pugi::xml_attribute local = name.attribute("localSheetId");
    return {Lower(name.attribute("name").value()), local ? local.as_int(-1) : -1};
}

void SetFlag(pugi::xml_node& node, const char* attribute, bool on, bool& changed) {
    pugi::xml_attribute present = node.attribute(attribute);
    if (on && !present.as_bool()) {
        (present ? present : node.append_attribute(attribute)).set_value("1");
        changed = true;
    } else if (!on && present) {
        node.remove_attribute(present);
        changed = true;
    }
}

// The hidden and macro flags as the source holds them.
void SetFlags(pugi::xml_node& node, const biff::DefinedName& source, bool& changed) {
    SetFlag(node, "hidden", source.hidden, changed);
    SetFlag(node, "function", source.macro, changed);
    SetFlag(node, "vbProcedure", source.vbProcedure, changed);
    SetFlag(node, "xlm", source.function, changed);
    if (source.macro && source.functionGroup != 0 && !node.attribute("functionGroupId")) {
        node.append_attribute("functionGroupId").set_value(source.functionGroup);
        changed = true;
    }
    if (source.shortcutKey >= 0x21 && source.shortcutKey < 0x7F && !node.attribute("shortcutKey")) {
        const char key[2] = {static_cast<char>(source.shortcutKey), '\0'};
        node.append_attribute("shortcutKey").set_value(key);
        changed = true;
    }
}

// `local` with the namespace prefix `sibling` carries, if any.
std::string Qualified(const pugi::xml_node& sibling, const char* local) {
    const std::string_view name = sibling.name();
    const std::size_t colon = name.find(':');
    return (colon == std::string_view::npos ? "" : std::string(name.substr(0, colon + 1))) + local;
}

// The element that holds the names, made in its place in the schema's order when
// LibreOffice wrote none: after sheets, function groups and external references.
pugi::xml_node NamesElement(pugi::xml_node root) {
    if (pugi::xml_node names = ChildNamed(root, "definedNames")) {
        return names;
    }
    pugi::xml_node after;
    for (pugi::xml_node child : root.children()) {
        const std::string_view name = LocalName(child);
        if (name == "sheets" || name == "functionGroups" || name == "externalReferences") {
            after = child;
        }
    }
    if (!after) {
        return {};
    }
    return root.insert_child_after(Qualified(root, "definedNames").c_str(), after);
}

// A "[" outside a string constant can only open an external book's number: sheet names
// cannot hold one.
bool RefersToAnotherBook(const std::string& formula) {
    bool inString = false;
    for (const char c : formula) {
        if (c == '"') {
            inString = !inString;
        } else if (c == '[' && !inString) {
            return true;
        }
    }
    return false;
}

// The identifiers of formula text in `xml`, in lower case.
void CollectFormulaWords(std::string_view xml, std::set<std::string>& words) {
    std::size_t at = 0;
    while (at < xml.size()) {
        if (!IsNamePart(static_cast<unsigned char>(xml[at]))) {
            ++at;
            continue;
        }
        const std::size_t start = at;
        while (at < xml.size() && IsNamePart(static_cast<unsigned char>(xml[at]))) {
            ++at;
        }
        if (at - start <= kMaxNameLength) {
            words.insert(Lower(xml.substr(start, at - start)));
        }
    }
}

}  // namespace

bool FormulaWords::Contains(const std::string& lowerCaseWord) const {
    if (!words_) {
        words_.emplace();
        for (const std::string_view part : parts_) {
            CollectFormulaWords(part, *words_);
        }
    }
    return words_->contains(lowerCaseWord);
}

NamesOutcome RestoreDefinedNames(pugi::xml_document& workbookPart, const biff::Workbook& source,
                                 const FormulaWords& formulaWords) {
    NamesOutcome outcome;
    pugi::xml_node root = workbookPart.document_element();
    // The package's sheet positions by name, for local names.
    std::map<std::string, int> packageSheet;
    int position = 0;
    for (pugi::xml_node sheet : ChildNamed(root, "sheets").children()) {
        if (LocalName(sheet) == "sheet") {
            packageSheet.emplace(sheet.attribute("name").value(), position++);
        }
    }
    pugi::xml_node names = NamesElement(root);
    if (!names) {
        outcome.notes.push_back("the workbook part has no sheets list; names left as they are");
        return outcome;
    }
    std::map<NameKey, pugi::xml_node> present;
    for (pugi::xml_node name : names.children()) {
        if (LocalName(name) == "definedName") {
            present.emplace(KeyOf(name), name);
        }
    }
    std::vector<std::string> sheetNames;
    for (const biff::Sheet& sheet : source.sheets) {
        sheetNames.push_back(sheet.name);
    }
    const biff::FormulaContext context = biff::FormulaContextOf(source.names, sheetNames);
    std::size_t externalBooks = 0;
    for (const biff::ExternalBook& book : source.names.books) {
        externalBooks += book.kind == biff::ExternalBook::Kind::External ? 1 : 0;
    }
    const auto links = ChildNamed(root, "externalReferences").children();
    const auto linkedBooks = static_cast<std::size_t>(std::distance(links.begin(), links.end()));
    // Names as the source spells them: LibreOffice's "_" spelling of one name may be
    // another name of the source in its own right.
    std::set<std::string> sourceSpellings;
    for (const biff::DefinedName& name : source.names.names) {
        sourceSpellings.insert(Lower(name.name));
    }
    std::set<NameKey> done;
    for (const biff::DefinedName& name : source.names.names) {
        if (name.name.empty()) {
            continue;  // a damaged record, counted by the reader
        }
        const auto leaveOut = [&](const std::string& why) {
            outcome.notes.push_back("name \"" + name.name + "\" left out: " + why);
        };
        int scope = -1;
        if (name.sheet) {
            const auto sheet = *name.sheet < source.sheets.size()
                                   ? packageSheet.find(source.sheets[*name.sheet].name)
                                   : packageSheet.end();
            if (sheet == packageSheet.end()) {
                leaveOut("its sheet is not in the converted workbook");
                continue;
            }
            scope = sheet->second;
        }
        const NameKey key{Lower(name.name), scope};
        if (!done.insert(key).second) {
            continue;  // the source holds the same name twice; the first one stands
        }
        if (const auto found = present.find(key); found != present.end()) {
            SetFlags(found->second, name, outcome.changed);
            ++outcome.kept;
            continue;
        }
        if (const std::string why = InvalidNameReason(name.name); !why.empty()) {
            leaveOut(why);
            continue;
        }
        if (scope < 0 && IsSheetBuiltIn(name.name)) {
            leaveOut("a sheet's print or filter range with no sheet");
            continue;
        }
        const NameKey officeKey{Lower(OfficeSpelling(name.name)), scope};
        if (const auto renamed = present.find(officeKey);
            officeKey != key && renamed != present.end() &&
            !sourceSpellings.contains(officeKey.first)) {
            pugi::xml_node node = renamed->second;
            if (formulaWords.Contains(officeKey.first)) {
                // A formula calls LibreOffice's spelling: keep it and add the source's.
                node = names.insert_copy_after(node, node);
            } else {
                present.erase(renamed);
            }
            node.attribute("name").set_value(name.name.c_str());
            SetFlags(node, name, outcome.changed);
            outcome.changed = true;
            ++outcome.renamed;
            continue;
        }
        // A name bound to a macro holds no formula of its own.
        if (name.tokens.empty() && !name.macro) {
            leaveOut("it refers to nothing");
            continue;
        }
        const biff::FormulaText formula =
            name.tokens.empty() ? biff::FormulaText{}
                                : biff::DecodeFormula(name.tokens, context, name.trailing);
        if (!formula.error.empty()) {
            leaveOut("its formula cannot be decoded (" + formula.error + ")");
            continue;
        }
        if (RefersToAnotherBook(formula.text) && externalBooks > linkedBooks) {
            leaveOut("it refers to another workbook the converted one does not link");
            continue;
        }
        pugi::xml_node node = names.append_child(Qualified(names, "definedName").c_str());
        node.append_attribute("name").set_value(name.name.c_str());
        if (scope >= 0) {
            node.append_attribute("localSheetId").set_value(scope);
        }
        bool unused = false;
        SetFlags(node, name, unused);
        node.text().set(formula.text.c_str());
        outcome.changed = true;
        ++outcome.added;
    }
    if (!names.first_child()) {
        root.remove_child(names);
    }
    return outcome;
}

}  // namespace tabrook::calcserver::styles
