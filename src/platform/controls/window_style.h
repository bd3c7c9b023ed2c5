#pragma once
// What the program's windows share: their typeface and the frame of its fixed dialogs.

#include <QFont>
#include <Qt>

class QWidget;

namespace tabrook::platform {

// A parentless dialog is transient for the desktop on X11, which keeps it off the taskbar.
inline constexpr Qt::WindowFlags kFixedDialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
    Qt::WindowCloseButtonHint;

QFont Arial(double points);

// Puts a window's client area at a fixed place on the screen and fixes its size (twips).
void PlaceFixed(QWidget& window, int leftTwips, int topTwips, int widthTwips, int heightTwips);

}  // namespace tabrook::platform
