#include "calcserver/styles/sheet_layout.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <optional>
#include <pugixml.hpp>
#include <sstream>

#include "calcserver/cellexact/sheet_rewriter.h"
#include "calcserver/input_limits.h"
#include "calcserver/package/xml_names.h"
#include "calcserver/package/zip_package.h"

namespace tabrook::calcserver::styles {

namespace {

using package::ChildNamed;
using package::LocalName;
using Address = std::pair<std::uint32_t, std::uint16_t>;

constexpr std::uint16_t kDefaultCellXf = 15;
// Excel's widest column (characters) and tallest row (points); a source may claim more.
constexpr double kMaxColumnWidth = 255;
constexpr double kMaxRowHeight = 409.5;
// Merged ranges are checked pairwise for overlap; past this many the office's list stays.
constexpr std::size_t kMaxMergedRanges = 8192;
// Elements that come before mergeCells in a worksheet, after the cell table.
constexpr std::string_view kBeforeMergeCells[] = {
    "sheetData",  "sheetCalcPr", "sheetProtection", "protectedRanges", "scenarios",
    "autoFilter", "sortState",   "dataConsolidate", "customSheetViews"};

bool Overlap(const biff::MergedRange& a, const biff::MergedRange& b) {
    return a.firstRow <= b.lastRow && b.firstRow <= a.lastRow && a.firstColumn <= b.lastColumn &&
           b.firstColumn <= a.lastColumn;
}

std::string Decimal(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

void SetAttribute(pugi::xml_node node, const char* name, const std::string& value) {
    pugi::xml_attribute attribute = node.attribute(name);
    if (!attribute) {
        attribute = node.append_attribute(name);
    }
    attribute.set_value(value.c_str());
}

void SetFlag(pugi::xml_node node, const char* name, bool on) {
    if (on) {
        SetAttribute(node, name, "1");
    } else {
        node.remove_attribute(name);
    }
}

// Sets or removes the style index; 0, the default cell format, is left unsaid.
void SetStyle(pugi::xml_node node, const char* name, std::int32_t index) {
    if (index > 0) {
        SetAttribute(node, name, std::to_string(index));
    } else {
        node.remove_attribute(name);
    }
}

class Layout {
  public:
    Layout(const biff::SheetFormats& source, const std::vector<std::int32_t>& cellFormatOf,
           std::string prefix)
        : source_(source), cellFormatOf_(cellFormatOf), prefix_(std::move(prefix)) {
        for (const biff::ColumnRecord& column : source.columns) {
            if (column.first < kGridColumns) {
                columns_.push_back(column);
            }
        }
        // The formats written want columns ascending and apart.
        std::stable_sort(columns_.begin(), columns_.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::uint32_t next = 0;
        std::erase_if(columns_, [&next](biff::ColumnRecord& column) {
            if (column.first < next) {
                return true;
            }
            column.last =
                static_cast<std::uint16_t>(std::min<std::uint32_t>(column.last, kGridColumns - 1));
            next = column.last + 1u;
            return false;
        });
    }

    // The new styles part's index of a source XF; nothing when the source names none.
    std::optional<std::int32_t> Format(std::uint16_t xf) const {
        if (xf < cellFormatOf_.size() && cellFormatOf_[xf] >= 0) {
            return cellFormatOf_[xf];
        }
        return std::nullopt;
    }

    // What an empty cell shows: its row's format, else its column's, else the default.
    std::int32_t Fallback(Address address) const {
        if (const auto row = source_.rows.find(address.first);
            row != source_.rows.end() && row->second.xfIndex) {
            return Format(*row->second.xfIndex).value_or(0);
        }
        for (const biff::ColumnRecord& column : columns_) {
            if (address.second >= column.first && address.second <= column.last) {
                return Format(column.xfIndex).value_or(0);
            }
        }
        return Format(kDefaultCellXf).value_or(0);
    }

    void WriteColumns(pugi::xml_node worksheet, pugi::xml_node sheetData,
                      SheetLayoutOutcome& outcome) const {
        if (const pugi::xml_node old = ChildNamed(worksheet, "cols")) {
            worksheet.remove_child(old);
        }
        if (columns_.empty()) {
            return;
        }
        pugi::xml_node cols = worksheet.insert_child_before((prefix_ + "cols").c_str(), sheetData);
        for (const biff::ColumnRecord& column : columns_) {
            pugi::xml_node col = cols.append_child((prefix_ + "col").c_str());
            col.append_attribute("min").set_value(column.first + 1);
            col.append_attribute("max").set_value(column.last + 1);
            col.append_attribute("width").set_value(
                Decimal(std::min(column.width256 / 256.0, kMaxColumnWidth)).c_str());
            SetStyle(col, "style", Format(column.xfIndex).value_or(0));
            SetFlag(col, "hidden", column.hidden);
            SetFlag(col, "customWidth", true);
            if (column.outlineLevel != 0) {
                col.append_attribute("outlineLevel").set_value(column.outlineLevel);
            }
            SetFlag(col, "collapsed", column.collapsed);
            ++outcome.columns;
        }
    }

    void WriteDefaults(pugi::xml_node worksheet, pugi::xml_node sheetData) const {
        pugi::xml_node format = ChildNamed(worksheet, "sheetFormatPr");
        if (!format) {
            pugi::xml_node before = ChildNamed(worksheet, "cols");
            format = worksheet.insert_child_before((prefix_ + "sheetFormatPr").c_str(),
                                                   before ? before : sheetData);
        }
        if (source_.defaultColumnChars) {
            SetAttribute(format, "baseColWidth", std::to_string(*source_.defaultColumnChars));
        }
        if (source_.standardWidth256) {
            SetAttribute(format, "defaultColWidth",
                         Decimal(std::min(*source_.standardWidth256 / 256.0, kMaxColumnWidth)));
        } else if (source_.defaultColumnChars) {
            // Without a width of its own, the default follows from the base width and the
            // reader's font, as it did in the source.
            format.remove_attribute("defaultColWidth");
        }
        if (source_.defaultRowTwips) {
            SetAttribute(format, "defaultRowHeight",
                         Decimal(std::min(*source_.defaultRowTwips / 20.0, kMaxRowHeight)));
            SetFlag(format, "customHeight", source_.defaultRowCustom);
            SetFlag(format, "zeroHeight", source_.defaultRowHidden);
        }
        std::uint8_t rowLevels = 0;
        std::uint8_t columnLevels = 0;
        for (const auto& [index, row] : source_.rows) {
            rowLevels = std::max(rowLevels, row.outlineLevel);
        }
        for (const biff::ColumnRecord& column : columns_) {
            columnLevels = std::max(columnLevels, column.outlineLevel);
        }
        for (const auto& [name, level] : {std::pair{"outlineLevelRow", rowLevels},
                                          std::pair{"outlineLevelCol", columnLevels}}) {
            if (level != 0) {
                SetAttribute(format, name, std::to_string(level));
            } else {
                format.remove_attribute(name);
            }
        }
        if (!format.attribute("defaultRowHeight")) {
            // The attribute is required; keep the office's own when the source has none.
            format.append_attribute("defaultRowHeight").set_value("12.75");
        }
    }

    // The source's merged ranges in place of the office's, which merges the cells a
    // "centre across selection" spans.
    void WriteMerged(pugi::xml_node worksheet) const {
        if (source_.merged.size() > kMaxMergedRanges) {
            return;
        }
        std::vector<biff::MergedRange> kept;
        for (const biff::MergedRange& range : source_.merged) {
            const bool single =
                range.firstRow == range.lastRow && range.firstColumn == range.lastColumn;
            if (single || range.firstRow > range.lastRow || range.firstColumn > range.lastColumn ||
                range.lastColumn >= kGridColumns ||
                std::any_of(kept.begin(), kept.end(),
                            [&range](const auto& other) { return Overlap(range, other); })) {
                continue;
            }
            kept.push_back(range);
        }
        pugi::xml_node list = ChildNamed(worksheet, "mergeCells");
        if (!list) {
            if (kept.empty()) {
                return;
            }
            pugi::xml_node after;
            for (pugi::xml_node child : worksheet.children()) {
                if (std::find(std::begin(kBeforeMergeCells), std::end(kBeforeMergeCells),
                              LocalName(child)) != std::end(kBeforeMergeCells)) {
                    after = child;
                }
            }
            list = worksheet.insert_child_after((prefix_ + "mergeCells").c_str(), after);
        }
        list.remove_children();
        list.remove_attributes();
        if (kept.empty()) {
            worksheet.remove_child(list);
            return;
        }
        list.append_attribute("count").set_value(kept.size());
        for (const biff::MergedRange& range : kept) {
            const std::string ref = cellexact::CellReference({range.firstRow, range.firstColumn}) +
                                    ":" +
                                    cellexact::CellReference({range.lastRow, range.lastColumn});
            list.append_child((prefix_ + "mergeCell").c_str())
                .append_attribute("ref")
                .set_value(ref.c_str());
        }
    }

    void WriteRow(pugi::xml_node row, std::uint32_t index) const {
        const auto found = source_.rows.find(index);
        if (found == source_.rows.end()) {
            row.remove_attribute("s");
            row.remove_attribute("customFormat");
            return;
        }
        const biff::RowRecord& record = found->second;
        SetAttribute(row, "ht", Decimal(std::min(record.heightTwips / 20.0, kMaxRowHeight)));
        SetFlag(row, "customHeight", record.customHeight);
        SetFlag(row, "hidden", record.hidden);
        if (record.outlineLevel != 0) {
            SetAttribute(row, "outlineLevel", std::to_string(record.outlineLevel));
        } else {
            row.remove_attribute("outlineLevel");
        }
        SetFlag(row, "collapsed", record.collapsed);
        const std::int32_t format = record.xfIndex ? Format(*record.xfIndex).value_or(0) : 0;
        SetStyle(row, "s", format);
        SetFlag(row, "customFormat", format > 0);
    }

    void WriteCells(pugi::xml_node sheetData, SheetLayoutOutcome& outcome) const {
        std::map<std::uint32_t, pugi::xml_node> rows;
        std::uint32_t nextRow = 0;
        for (pugi::xml_node row : sheetData.children()) {
            if (LocalName(row) != "row") {
                continue;
            }
            std::uint32_t index = nextRow;
            if (const auto r = row.attribute("r"); r && r.as_uint() > 0) {
                index = r.as_uint() - 1;
            }
            nextRow = index + 1;
            rows.emplace(index, row);
        }
        const auto rowFor = [&](std::uint32_t index) {
            if (const auto found = rows.find(index); found != rows.end()) {
                return found->second;
            }
            const auto after = rows.upper_bound(index);
            const std::string name = prefix_ + "row";
            pugi::xml_node row = after != rows.end()
                                     ? sheetData.insert_child_before(name.c_str(), after->second)
                                     : sheetData.append_child(name.c_str());
            row.append_attribute("r").set_value(index + 1);
            rows.emplace(index, row);
            return row;
        };
        for (const auto& [index, record] : source_.rows) {
            if (index < kGridRows) {
                rowFor(index);
            }
        }
        // Formatted empty cells the office did not write, by row.
        std::map<std::uint32_t, std::map<std::uint16_t, std::int32_t>> blanks;
        for (const auto& [address, xf] : source_.cellXfs) {
            if (address.first < kGridRows && address.second < kGridColumns) {
                if (const auto format = Format(xf); format && *format > 0) {
                    blanks[address.first][address.second] = *format;
                }
            }
        }
        for (const auto& [index, cells] : blanks) {
            rowFor(index);
        }
        for (auto& [index, row] : rows) {
            WriteRow(row, index);
            std::map<std::uint16_t, std::int32_t>* missing = nullptr;
            if (auto found = blanks.find(index); found != blanks.end()) {
                missing = &found->second;
            }
            std::map<std::uint16_t, pugi::xml_node> cells;
            std::uint32_t nextColumn = 0;
            for (pugi::xml_node cell : row.children()) {
                if (LocalName(cell) != "c") {
                    continue;
                }
                biff::CellAddress address{index, static_cast<std::uint16_t>(nextColumn)};
                if (const auto r = cell.attribute("r")) {
                    cellexact::ParseCellReference(r.value(), address);
                }
                nextColumn = address.second + 1u;
                cells.emplace(address.second, cell);
                const auto xf = source_.cellXfs.find(address);
                std::optional<std::int32_t> format;
                if (xf != source_.cellXfs.end()) {
                    format = Format(xf->second);
                }
                if (format) {
                    ++outcome.cellsPointed;
                } else {
                    ++outcome.cellsUnmatched;
                }
                SetStyle(cell, "s", format.value_or(Fallback(address)));
                if (missing != nullptr) {
                    missing->erase(address.second);
                }
            }
            if (missing == nullptr || missing->empty()) {
                continue;
            }
            row.remove_attribute("spans");  // cells are added outside the office's span
            for (const auto& [column, format] : *missing) {
                const auto after = cells.upper_bound(column);
                const std::string name = prefix_ + "c";
                pugi::xml_node cell = after != cells.end()
                                          ? row.insert_child_before(name.c_str(), after->second)
                                          : row.append_child(name.c_str());
                cell.append_attribute("r").set_value(
                    cellexact::CellReference({index, column}).c_str());
                SetStyle(cell, "s", format);
                cells.emplace(column, cell);
                ++outcome.blanksAdded;
            }
        }
        outcome.rows = source_.rows.size();
    }

  private:
    const biff::SheetFormats& source_;
    const std::vector<std::int32_t>& cellFormatOf_;
    std::string prefix_;
    std::vector<biff::ColumnRecord> columns_;
};

}  // namespace

SheetLayoutOutcome RestoreSheetLayout(std::string& worksheetXml, const biff::SheetFormats& source,
                                      const std::vector<std::int32_t>& cellFormatOf) {
    pugi::xml_document document;
    const unsigned parsing = pugi::parse_default | pugi::parse_declaration | pugi::parse_ws_pcdata;
    if (!document.load_buffer(worksheetXml.data(), worksheetXml.size(), parsing)) {
        throw package::PackageError("a worksheet part is not well-formed XML");
    }
    const pugi::xml_node worksheet = document.document_element();
    const pugi::xml_node sheetData = ChildNamed(worksheet, "sheetData");
    if (LocalName(worksheet) != "worksheet" || !sheetData) {
        throw package::PackageError("a worksheet part has no cell table");
    }
    Layout layout(source, cellFormatOf, package::WithPrefixOf(worksheet, ""));
    SheetLayoutOutcome outcome;
    layout.WriteColumns(worksheet, sheetData, outcome);
    layout.WriteDefaults(worksheet, sheetData);
    layout.WriteCells(sheetData, outcome);
    layout.WriteMerged(worksheet);
    std::ostringstream out;
    document.save(out, "", pugi::format_raw, pugi::encoding_utf8);
    worksheetXml = out.str();
    return outcome;
}

}  // namespace tabrook::calcserver::styles
