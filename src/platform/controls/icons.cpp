#include "platform/controls/icons.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The resource file is linked from a static library, so it is registered by hand.
static int RegisterResources() {
    Q_INIT_RESOURCE(tabrook);
    return 0;
}

namespace tabrook::platform {

QIcon ResourceIcon(const QString& name, int size) {
    [[maybe_unused]] static const int registered = RegisterResources();
    QSvgRenderer renderer(QStringLiteral(":/icons/") + name);
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    if (renderer.isValid()) {
        QPainter painter(&pixmap);
        renderer.render(&painter);
    }
    return QIcon(pixmap);
}

}  // namespace tabrook::platform
