#include "platform/shell_target.h"

#include <QFileInfo>
#include <QMimeDatabase>
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

ShellTarget LocalTarget(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return {TargetKind::Missing, path.toStdString(), {}, {}};
    }
    if (info.isDir()) {
        return {TargetKind::Folder, path.toStdString(), {"inode/directory"}, {}};
    }
    // A handler for a broader type (text/plain for a source file) serves when none is set
    // up for the exact one.
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(info);
    ShellTarget target{TargetKind::File,
                       path.toStdString(),
                       {mime.name().toStdString()},
                       mime.comment().toStdString()};
    for (const QString& ancestor : mime.allAncestors()) {
        target.types.push_back(ancestor.toStdString());
    }
    return target;
}

}  // namespace

ShellTarget ClassifyTarget(const std::string& target) {
    const QString text = QString::fromStdString(target);
    if (!HasScheme(target)) {
        return LocalTarget(text);
    }
    const QUrl url(text);
    if (url.isLocalFile()) {
        return LocalTarget(url.toLocalFile());
    }
    const std::string scheme = url.scheme().toLower().toStdString();
    return {scheme == "mailto" ? TargetKind::MailLink : TargetKind::WebAddress,
            target,
            {"x-scheme-handler/" + scheme},
            {}};
}

}  // namespace tabrook::platform
