#include "calcserver/styles/palette.h"

#include <array>
#include <cstdio>

namespace tabrook::calcserver::styles {

namespace {

// Indices 0-7 never change; 8-63 are the default palette of BIFF8 workbooks.
constexpr std::array<std::uint32_t, 64> kDefaultPalette{
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
    0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
    0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
    0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
    0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
    0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333};

constexpr std::uint16_t kFirstPaletteIndex = 8;

}  // namespace

std::optional<std::string> PaletteArgb(std::uint16_t index,
                                       const std::optional<std::vector<biff::Rgb>>& custom) {
    if (index >= kDefaultPalette.size()) {
        return std::nullopt;
    }
    std::uint32_t rgb = kDefaultPalette[index];
    if (custom && index >= kFirstPaletteIndex &&
        static_cast<std::size_t>(index - kFirstPaletteIndex) < custom->size()) {
        const biff::Rgb& entry = (*custom)[index - kFirstPaletteIndex];
        rgb = (std::uint32_t{entry[0]} << 16) | (std::uint32_t{entry[1]} << 8) | entry[2];
    }
    char text[9];
    std::snprintf(text, sizeof text, "FF%06X", static_cast<unsigned>(rgb));
    return std::string(text);
}

}  // namespace tabrook::calcserver::styles
