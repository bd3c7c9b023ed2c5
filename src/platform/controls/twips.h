#pragma once
// Sizes and positions are given in twips (1/1440 inch): 15 twips make one pixel at 96 dpi.

#include <QRect>

class QWidget;

namespace tabrook::platform {

// Pixels for a length in twips on `widget`'s screen (96 dpi when there is none yet).
int TwipsToPixels(const QWidget* widget, int twips);
QRect TwipsRect(const QWidget* widget, int left, int top, int width, int height);

}  // namespace tabrook::platform
