#include "calcserver/cellexact/sheet_rewriter.h"

#include <charconv>
#include <cmath>
#include <map>
#include <pugixml.hpp>
#include <sstream>
#include <string_view>

#include "calcserver/input_limits.h"
#include "calcserver/package/ooxml_text.h"
#include "calcserver/package/xml_names.h"
#include "calcserver/package/zip_package.h"

namespace tabrook::calcserver::cellexact {

namespace {

using biff::CellAddress;
using package::ChildNamed;
using package::LocalName;

// Two doubles this close differ only in how many digits were written out.
constexpr double kWritingPrecision = 1e-14;

// What a cell should hold: its t attribute and the text of <v>.
struct Target {
    std::string type;
    std::string text;
};

enum class Match { Same, Refine, Differs };

std::string FormatNumber(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

bool ParseNumber(std::string_view text, double& value) {
    const std::optional<double> number = package::ParseXmlNumber(text);
    value = number.value_or(0);
    return number.has_value();
}

// `text` is what the cell shows of a text value (see ShownText).
Target TargetFor(const biff::CellValue& value, std::string_view text, bool hasFormula,
                 SharedStringTable& strings) {
    if (const auto* number = std::get_if<double>(&value)) {
        return {"n", FormatNumber(*number)};
    }
    if (std::holds_alternative<biff::Text>(value)) {
        // A formula's text result is "str"; a constant text is a shared string.
        return hasFormula ? Target{"str", package::EncodeCellText(text)}
                          : Target{"s", std::to_string(strings.IndexOf(text))};
    }
    if (const auto* flag = std::get_if<bool>(&value)) {
        return {"b", *flag ? "1" : "0"};
    }
    return {"e", biff::ErrorText(std::get<biff::ErrorValue>(value))};
}

Match Compare(const pugi::xml_node cell, const biff::CellValue& value, std::string_view text,
              const std::vector<std::string>& sharedStrings) {
    const std::string_view type = cell.attribute("t") ? cell.attribute("t").value() : "n";
    const std::string_view stored = ChildNamed(cell, "v").text().get();
    if (const auto* number = std::get_if<double>(&value)) {
        double written = 0;
        if (type != "n" || !ParseNumber(stored, written)) {
            return Match::Differs;
        }
        if (written == *number) {
            return Match::Same;
        }
        const double scale = std::max(std::fabs(written), std::fabs(*number));
        return std::fabs(written - *number) <= kWritingPrecision * scale ? Match::Refine
                                                                         : Match::Differs;
    }
    if (std::holds_alternative<biff::Text>(value)) {
        if (type == "s") {
            double index = 0;
            return ParseNumber(stored, index) && index >= 0 &&
                           index < static_cast<double>(sharedStrings.size()) &&
                           sharedStrings[static_cast<std::size_t>(index)] == text
                       ? Match::Same
                       : Match::Differs;
        }
        if (type == "str") {
            return package::DecodeCellText(stored) == text ? Match::Same : Match::Differs;
        }
        if (type == "inlineStr") {
            const std::string_view inlineText =
                ChildNamed(ChildNamed(cell, "is"), "t").text().get();
            return package::DecodeCellText(inlineText) == text ? Match::Same : Match::Differs;
        }
        return Match::Differs;
    }
    if (const auto* flag = std::get_if<bool>(&value)) {
        const bool written = stored == "1" || stored == "true";
        const bool known = written || stored == "0" || stored == "false";
        return type == "b" && known && written == *flag ? Match::Same : Match::Differs;
    }
    return type == "e" && stored == biff::ErrorText(std::get<biff::ErrorValue>(value))
               ? Match::Same
               : Match::Differs;
}

std::string PrefixOf(const pugi::xml_node node) {
    const std::string_view name = node.name();
    const auto colon = name.find(':');
    return colon == std::string_view::npos ? "" : std::string(name.substr(0, colon + 1));
}

void WriteValue(pugi::xml_node cell, const Target& target) {
    for (pugi::xml_node child = cell.first_child(); child;) {
        const pugi::xml_node next = child.next_sibling();
        if (LocalName(child) == "v" || LocalName(child) == "is") {
            cell.remove_child(child);
        }
        child = next;
    }
    cell.remove_attribute("t");
    if (target.type != "n") {
        cell.append_attribute("t").set_value(target.type.c_str());
    }
    const std::string prefix = PrefixOf(cell);
    // Cell children come in the order f, v, is, extLst.
    const pugi::xml_node formula = ChildNamed(cell, "f");
    pugi::xml_node holder = formula ? cell.insert_child_after((prefix + "v").c_str(), formula)
                                    : cell.prepend_child((prefix + "v").c_str());
    holder.text().set(target.text.c_str());
}

// What a cell shows of `text`: Excel holds at most kMaxCellTextUnits UTF-16 units in a cell
// and cuts what is longer, never inside a character. A view, so that the thousands of cells
// that may share one long text never copy it.
std::string_view ShownText(std::string_view text) {
    if (text.size() <= kMaxCellTextUnits) {
        return text;  // UTF-8 never takes fewer bytes than UTF-16 units
    }
    std::size_t units = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        units += length == 4 ? 2 : 1;
        if (units > kMaxCellTextUnits) {
            return text.substr(0, i);
        }
        i += length;
    }
    return text;
}

// LibreOffice stores boolean and error constants as formulas (TRUE(), or an empty one).
// The source says the cell holds a constant, so it gets no formula; formulas that others
// share or that span an array are left alone.
bool DropFormulaOfConstant(pugi::xml_node cell) {
    const pugi::xml_node formula = ChildNamed(cell, "f");
    if (!formula || formula.attribute("t")) {
        return false;
    }
    cell.remove_child(formula);
    return true;
}

class CellIndex {
  public:
    explicit CellIndex(pugi::xml_node sheetData) : sheetData_(sheetData) {
        std::uint32_t nextRow = 0;
        for (const pugi::xml_node row : sheetData.children()) {
            if (LocalName(row) != "row") {
                continue;
            }
            std::uint32_t rowIndex = nextRow;
            if (const auto r = row.attribute("r"); r && r.as_uint() > 0) {
                rowIndex = r.as_uint() - 1;
            }
            nextRow = rowIndex + 1;
            rows_[rowIndex] = row;
            std::uint32_t nextColumn = 0;
            for (const pugi::xml_node cell : row.children()) {
                if (LocalName(cell) != "c") {
                    continue;
                }
                CellAddress address{rowIndex, static_cast<std::uint16_t>(nextColumn)};
                if (const auto r = cell.attribute("r")) {
                    ParseCellReference(r.value(), address);
                }
                nextColumn = address.second + 1u;
                cells_.emplace(address, cell);
            }
        }
    }

    pugi::xml_node Find(CellAddress address) const {
        const auto found = cells_.find(address);
        return found == cells_.end() ? pugi::xml_node{} : found->second;
    }

    // A new empty cell at `address`, placed in row and column order.
    pugi::xml_node Add(CellAddress address) {
        pugi::xml_node row = RowFor(address.first);
        const std::string prefix = PrefixOf(sheetData_);
        pugi::xml_node cell;
        const auto after = cells_.upper_bound(address);
        if (after != cells_.end() && after->first.first == address.first &&
            after->second.parent() == row) {
            cell = row.insert_child_before((prefix + "c").c_str(), after->second);
        } else {
            cell = row.append_child((prefix + "c").c_str());
        }
        cell.append_attribute("r").set_value(CellReference(address).c_str());
        cells_.emplace(address, cell);
        return cell;
    }

  private:
    pugi::xml_node RowFor(std::uint32_t rowIndex) {
        if (const auto found = rows_.find(rowIndex); found != rows_.end()) {
            return found->second;
        }
        const std::string name = PrefixOf(sheetData_) + "row";
        const auto after = rows_.upper_bound(rowIndex);
        pugi::xml_node row = after != rows_.end()
                                 ? sheetData_.insert_child_before(name.c_str(), after->second)
                                 : sheetData_.append_child(name.c_str());
        row.append_attribute("r").set_value(rowIndex + 1);
        rows_[rowIndex] = row;
        return row;
    }

    pugi::xml_node sheetData_;
    std::map<std::uint32_t, pugi::xml_node> rows_;
    std::map<CellAddress, pugi::xml_node> cells_;
};

}  // namespace

bool ParseCellReference(std::string_view reference, CellAddress& address) {
    std::size_t i = 0;
    std::uint32_t column = 0;
    while (i < reference.size() && reference[i] >= 'A' && reference[i] <= 'Z') {
        column = column * 26 + static_cast<std::uint32_t>(reference[i] - 'A' + 1);
        if (column > kGridColumns) {
            return false;
        }
        ++i;
    }
    std::uint32_t row = 0;
    const std::size_t digits = i;
    while (i < reference.size() && reference[i] >= '0' && reference[i] <= '9') {
        row = row * 10 + static_cast<std::uint32_t>(reference[i] - '0');
        if (row > kGridRows) {
            return false;
        }
        ++i;
    }
    if (column == 0 || row == 0 || digits == 0 || i == digits || i != reference.size()) {
        return false;
    }
    address = {row - 1, static_cast<std::uint16_t>(column - 1)};
    return true;
}

std::string CellReference(CellAddress address) {
    std::string letters;
    for (std::uint32_t column = address.second + 1u; column > 0; column = (column - 1) / 26) {
        letters.insert(letters.begin(), static_cast<char>('A' + (column - 1) % 26));
    }
    return letters + std::to_string(address.first + 1);
}

SheetOutcome RewriteSheet(std::string& worksheetXml, const biff::Sheet& source,
                          SharedStringTable& strings, bool keepFormulas) {
    pugi::xml_document document;
    const unsigned parsing = pugi::parse_default | pugi::parse_declaration | pugi::parse_ws_pcdata;
    if (!document.load_buffer(worksheetXml.data(), worksheetXml.size(), parsing)) {
        throw package::PackageError("a worksheet part is not well-formed XML");
    }
    const pugi::xml_node sheetData = ChildNamed(document.document_element(), "sheetData");
    if (LocalName(document.document_element()) != "worksheet" || !sheetData) {
        throw package::PackageError("a worksheet part has no cell table");
    }
    CellIndex index(sheetData);
    SheetOutcome outcome;
    for (const auto& [address, sourceCell] : source.cells) {
        if (sourceCell.isFormula && !sourceCell.hasStoredResult) {
            continue;  // the source knows no result: LibreOffice's stays
        }
        if (address.first >= kGridRows || address.second >= kGridColumns) {
            ++outcome.outsideGrid;
            continue;
        }
        const biff::Cell& cell = sourceCell;
        const auto* fullText = std::get_if<biff::Text>(&cell.value);
        const std::string_view text = fullText != nullptr ? ShownText(fullText->str()) : "";
        if (fullText != nullptr && text.size() < fullText->str().size()) {
            ++outcome.textsCut;
        }
        ++outcome.compared;
        pugi::xml_node node = index.Find(address);
        bool onlyDigits = false;
        if (!node) {
            if (fullText != nullptr && text.empty()) {
                continue;  // an empty text shows as an empty cell anyway
            }
            node = index.Add(address);
        } else {
            const bool droppedFormula =
                !cell.isFormula && !keepFormulas && DropFormulaOfConstant(node);
            const Match match = Compare(node, cell.value, text, strings.Texts());
            if (match == Match::Same && !droppedFormula) {
                continue;
            }
            onlyDigits = match == Match::Refine && !droppedFormula;
        }
        WriteValue(node,
                   TargetFor(cell.value, text, static_cast<bool>(ChildNamed(node, "f")), strings));
        ++(onlyDigits ? outcome.refined : outcome.changed);
        outcome.modified = true;
    }
    if (outcome.modified) {
        std::ostringstream out;
        document.save(out, "", pugi::format_raw, pugi::encoding_utf8);
        worksheetXml = out.str();
    }
    return outcome;
}

}  // namespace tabrook::calcserver::cellexact
