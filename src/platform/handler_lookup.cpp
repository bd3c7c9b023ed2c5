#include "platform/handler_lookup.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace tabrook::platform {

std::optional<DesktopEntry> XdgHandlerLookup::HandlerFor(const std::string& type) const {
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), QString::fromStdString(type)});
    // Without xdg-utils there is no way to know a handler; say none rather than guess.
    if (!query.waitForFinished() || query.exitStatus() != QProcess::NormalExit ||
        query.exitCode() != 0) {
        return std::nullopt;
    }
    const QString id = QString::fromLocal8Bit(query.readAllStandardOutput()).section('\n', 0, 0);
    const QString desktopId = id.section(';', 0, 0).trimmed();
    if (desktopId.isEmpty()) {
        return std::nullopt;
    }
    const QString file = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, desktopId);
    if (file.isEmpty()) {
        return std::nullopt;
    }
    return ReadDesktopEntry(file.toStdString());
}

bool DetachedProgramStarter::Start(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        return false;
    }
    QStringList rest;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        rest << QString::fromStdString(arguments[i]);
    }
    return QProcess::startDetached(QString::fromStdString(arguments.front()), rest);
}

}  // namespace tabrook::platform
