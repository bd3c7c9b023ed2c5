#include "platform/shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace tabrook::platform {
namespace {

bool HasScheme(const std::string& target) {
    for (const char* scheme : {"http://", "https://", "mailto:", "file://"}) {
        if (target.rfind(scheme, 0) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool DesktopShell::Open(QWidget* /*owner*/, const std::string& target, int /*showCommand*/) {
    // The desktop decides how the handler's window is shown; owner and show command have no
    // counterpart there.
    const QString text = QString::fromStdString(target);
    const QUrl url = HasScheme(target) ? QUrl(text) : QUrl::fromLocalFile(text);
    return url.isValid() && QDesktopServices::openUrl(url);
}

}  // namespace tabrook::platform
