#include "calcserver/xlsb/cell_ref.h"

#include <algorithm>

namespace tabrook::calcserver::xlsb {

std::optional<std::int32_t> ParseColumnLetters(std::string_view letters) {
    if (letters.empty() || letters.size() > 3) {
        return std::nullopt;
    }
    std::int32_t col = 0;
    for (char c : letters) {
        const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        if (upper < 'A' || upper > 'Z') {
            return std::nullopt;
        }
        col = col * 26 + (upper - 'A' + 1);
    }
    return col - 1 <= kMaxCol ? std::optional<std::int32_t>(col - 1) : std::nullopt;
}

std::optional<CellAddress> ParseCellAddress(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && text[i] == '$') {
        ++i;
    }
    const std::size_t lettersBegin = i;
    while (i < text.size() &&
           ((text[i] >= 'A' && text[i] <= 'Z') || (text[i] >= 'a' && text[i] <= 'z'))) {
        ++i;
    }
    const auto col = ParseColumnLetters(text.substr(lettersBegin, i - lettersBegin));
    if (i < text.size() && text[i] == '$') {
        ++i;
    }
    const std::size_t digitsBegin = i;
    std::int64_t row = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - digitsBegin < 8) {
        row = row * 10 + (text[i] - '0');
        ++i;
    }
    if (!col || i == digitsBegin || i != text.size() || row < 1 || row - 1 > kMaxRow) {
        return std::nullopt;
    }
    return CellAddress{static_cast<std::int32_t>(row - 1), *col};
}

std::optional<CellRange> ParseCellRange(std::string_view text) {
    const auto colon = text.find(':');
    const auto first = ParseCellAddress(text.substr(0, colon));
    if (!first) {
        return std::nullopt;
    }
    if (colon == std::string_view::npos) {
        return CellRange{*first, *first};
    }
    const auto last = ParseCellAddress(text.substr(colon + 1));
    if (!last) {
        return std::nullopt;
    }
    return CellRange{{std::min(first->row, last->row), std::min(first->col, last->col)},
                     {std::max(first->row, last->row), std::max(first->col, last->col)}};
}

std::string CellName(CellAddress cell) {
    std::string letters;
    for (std::int32_t col = cell.col + 1; col > 0; col = (col - 1) / 26) {
        letters.insert(letters.begin(), static_cast<char>('A' + (col - 1) % 26));
    }
    return letters + std::to_string(cell.row + 1);
}

}  // namespace tabrook::calcserver::xlsb
