#include "platform/qt_dialogs.h"

namespace tabrook::platform {

std::optional<std::uint32_t> QtDialogs::Color(QWidget* /*owner*/, std::uint32_t /*initial*/,
                                              bool /*fullOpen*/) {
    return std::nullopt;
}

std::optional<FontResult> QtDialogs::Font(QWidget* /*owner*/, const FontRequest& /*request*/) {
    return std::nullopt;
}

int QtDialogs::ScreenDpiY() const {
    return 96;
}

bool QtDialogs::Print(QWidget* /*owner*/) {
    return false;
}

std::string QtDialogs::DefaultPrinterName() const {
    return {};
}

bool QtDialogs::PrinterProperties(QWidget* /*owner*/, const std::string& /*printerName*/) {
    return false;
}

}  // namespace tabrook::platform
