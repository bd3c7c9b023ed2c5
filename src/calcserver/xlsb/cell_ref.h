#pragma once
// A1-style cell names as Office Open XML writes them, and the sheet grid limits.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "calcserver/input_limits.h"

namespace tabrook::calcserver::xlsb {

inline constexpr auto kMaxRow = static_cast<std::int32_t>(kGridRows - 1);
inline constexpr auto kMaxCol = static_cast<std::int32_t>(kGridColumns - 1);

struct CellAddress {
    std::int32_t row = 0;
    std::int32_t col = 0;
    bool operator==(const CellAddress&) const = default;
};

struct CellRange {
    CellAddress first;
    CellAddress last;
    bool Contains(CellAddress cell) const {
        return cell.row >= first.row && cell.row <= last.row && cell.col >= first.col &&
               cell.col <= last.col;
    }
};

// "AB12" or "$AB$12"; nothing when the text is not a cell inside the grid.
std::optional<CellAddress> ParseCellAddress(std::string_view text);
// "A1:C3" or a single cell.
std::optional<CellRange> ParseCellRange(std::string_view text);
// "A" -> 0 ... "XFD" -> 16383.
std::optional<std::int32_t> ParseColumnLetters(std::string_view letters);
std::string CellName(CellAddress cell);

}  // namespace tabrook::calcserver::xlsb
