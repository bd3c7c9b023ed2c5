#include "platform/controls/window_style.h"

#include <QWidget>

#include "platform/controls/twips.h"

namespace tabrook::platform {

QFont Arial(double points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    return font;
}

void PlaceFixed(QWidget& window, int leftTwips, int topTwips, int widthTwips, int heightTwips) {
    window.setGeometry(platform::TwipsRect(&window, leftTwips, topTwips, widthTwips, heightTwips));
    window.setFixedSize(window.size());
}

}  // namespace tabrook::platform
