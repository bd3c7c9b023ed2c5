#include "platform/controls/twips.h"

#include <QWidget>
#include <cmath>

namespace tabrook::platform {

int TwipsToPixels(const QWidget* widget, int twips) {
    const int dpi = widget != nullptr ? widget->logicalDpiX() : 96;
    return static_cast<int>(std::lround(twips * static_cast<double>(dpi) / 1440.0));
}

QRect TwipsRect(const QWidget* widget, int left, int top, int width, int height) {
    return {TwipsToPixels(widget, left), TwipsToPixels(widget, top), TwipsToPixels(widget, width),
            TwipsToPixels(widget, height)};
}

}  // namespace tabrook::platform
