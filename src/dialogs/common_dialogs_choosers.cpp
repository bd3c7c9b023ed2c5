// The colour, font and printer choosers of CCommonDialogs: each reads its inputs from the
// properties, writes back only what the user confirmed, and reports a cancel as false.

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "dialogs/common_dialogs.h"
#include "platform/dialogs.h"

namespace tabrook::dialogs {
namespace {

// Font description face names hold 31 characters before their terminator.
constexpr std::size_t kMaxFaceNameChars = 31;

// number * numerator / denominator through a 64-bit product, rounded to the nearest whole
// number with halves away from zero; -1 when the denominator is 0 or the result does not fit.
int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) {
        return -1;
    }
    const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
    const bool negative = (product < 0) != (denominator < 0);
    const std::int64_t magnitude = product < 0 ? -product : product;
    const std::int64_t divisor = denominator < 0 ? -static_cast<std::int64_t>(denominator)
                                                 : static_cast<std::int64_t>(denominator);
    const std::int64_t rounded = (magnitude + divisor / 2) / divisor;
    const std::int64_t result = negative ? -rounded : rounded;
    if (result > std::numeric_limits<int>::max() || result < std::numeric_limits<int>::min()) {
        return -1;
    }
    return static_cast<int>(result);
}

// The first `maxChars` characters of UTF-8 text; a character is never split.
std::string FirstChars(const std::string& text, std::size_t maxChars) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool startsCharacter = (byte & 0xC0) != 0x80;
        if (startsCharacter && chars++ == maxChars) {
            return text.substr(0, i);
        }
    }
    return text;
}

std::int16_t WholePoints(int pointSizeTenths) {
    // Tenths of a point to whole points, truncated: 11.5 pt reads back as 11.
    const int points = pointSizeTenths / 10;
    if (points > std::numeric_limits<std::int16_t>::max()) {
        return std::numeric_limits<std::int16_t>::max();
    }
    if (points < std::numeric_limits<std::int16_t>::min()) {
        return std::numeric_limits<std::int16_t>::min();
    }
    return static_cast<std::int16_t>(points);
}

}  // namespace

bool CCommonDialogs::ShowColor(bool fullOpen) {
    const std::optional<std::uint32_t> chosen = dialogs_.Color(Owner(), color_, fullOpen);
    if (!chosen) {
        return false;
    }
    color_ = *chosen;
    return true;
}

bool CCommonDialogs::ShowFont() {
    platform::FontRequest request;
    request.faceName = FirstChars(fontName_, kMaxFaceNameChars);
    request.bold = fontBold_;
    request.italic = fontItalic_;
    request.underline = fontUnderline_;
    // Negative: the character height, not the cell height, as a font description takes it.
    request.heightPixels = -MulDiv(fontSize_, dialogs_.ScreenDpiY(), 72);

    const std::optional<platform::FontResult> chosen = dialogs_.Font(Owner(), request);
    if (!chosen) {
        return false;
    }
    // Underline and colour are not offered by the dialog and stay as they are.
    fontName_ = chosen->faceName;
    fontBold_ = chosen->bold;
    fontItalic_ = chosen->italic;
    fontSize_ = WholePoints(chosen->pointSizeTenths);
    return true;
}

bool CCommonDialogs::ShowPrinter() {
    // Only whether the user confirmed; nothing chosen there is kept.
    return dialogs_.Print(Owner());
}

bool CCommonDialogs::ShowPrinterProperties() {
    const std::string printer = dialogs_.DefaultPrinterName();
    if (printer.empty()) {
        return false;
    }
    return dialogs_.PrinterProperties(Owner(), printer);
}

}  // namespace tabrook::dialogs
