#include "platform/shell_message.h"

#include <QFileInfo>
#include <QMessageBox>

namespace tabrook::platform {
namespace {

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string WhatItIs(const ShellTarget& target) {
    switch (target.kind) {
        case TargetKind::Folder:
            return "The folder " + Quoted(target.text);
        case TargetKind::File:
            return "The file " + Quoted(target.text);
        case TargetKind::WebAddress:
            return "The web address " + Quoted(target.text);
        case TargetKind::MailLink:
            return "The mail link " + Quoted(target.text);
        case TargetKind::Missing:
            break;
    }
    return Quoted(target.text);
}

std::string WhatNobodyOpens(const ShellTarget& target) {
    switch (target.kind) {
        case TargetKind::Folder:
            return "folders";
        case TargetKind::File:
            return target.typeName.empty() ? "files of this type"
                                           : "files of this type (" + target.typeName + ")";
        case TargetKind::WebAddress:
            return "web addresses";
        case TargetKind::MailLink:
            return "mail links";
        case TargetKind::Missing:
            break;
    }
    return "it";
}

}  // namespace

std::string ShellFailureText(const ShellTarget& target, OpenFailure failure,
                             const std::string& program) {
    switch (failure) {
        case OpenFailure::NotFound:
            return Quoted(target.text) +
                   " cannot be opened: it does not exist.\nCheck the name and try again.";
        case OpenFailure::NoProgram:
            return WhatItIs(target) + " cannot be opened.\nNo program is set up to open " +
                   WhatNobodyOpens(target) + ".";
        case OpenFailure::NotStarted:
            return WhatItIs(target) + " cannot be opened.\nThe program set up to open it, " +
                   Quoted(program) + ", could not be started.";
    }
    return {};
}

void ShowShellFailure(QWidget* owner, const ShellTarget& target, const std::string& text) {
    const QString name = QString::fromStdString(target.text);
    const bool isPath =
        target.kind != TargetKind::WebAddress && target.kind != TargetKind::MailLink;
    QMessageBox box(owner);
    box.setWindowTitle(isPath && !QFileInfo(name).fileName().isEmpty() ? QFileInfo(name).fileName()
                                                                       : name);
    box.setIcon(QMessageBox::Warning);
    box.setTextFormat(Qt::PlainText);  // the text names paths, which may look like markup
    box.setText(QString::fromStdString(text));
    box.setStandardButtons(QMessageBox::Ok);
    box.setWindowModality(owner != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    box.exec();
}

}  // namespace tabrook::platform
