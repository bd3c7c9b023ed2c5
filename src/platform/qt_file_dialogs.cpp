#include <QFileDialog>
#include <QStringList>

#include "platform/qt_dialogs.h"

namespace tabrook::platform {
namespace {

// Patterns match names without regard to letter case, as users of these workbooks expect
// (BOOK.XLS is a workbook too): each letter becomes a class of both cases.
QString CaseBlindPattern(const std::string& pattern) {
    QString blind;
    for (const QChar c : QString::fromStdString(pattern)) {
        if (c == QLatin1Char(';')) {
            blind += QLatin1Char(' ');
        } else if (c.isLetter() && c.toLower() != c.toUpper()) {
            blind += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        } else {
            blind += c;
        }
    }
    return blind;
}

// "Description (patterns)" entries in the form Qt's file dialog reads; the dialog shows
// the description alone, which already says what it offers.
QStringList NameFilters(const std::vector<FileFilter>& filters) {
    QStringList list;
    for (const FileFilter& filter : filters) {
        list << QString::fromStdString(filter.description) + QStringLiteral(" (") +
                    CaseBlindPattern(filter.pattern) + QLatin1Char(')');
    }
    return list;
}

std::optional<std::string> RunFileDialog(QWidget* owner, const FileDialogRequest& request,
                                         QFileDialog::AcceptMode mode) {
    QFileDialog dialog(owner, QString::fromStdString(request.title));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    const QStringList filters = NameFilters(request.filters);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.value(request.selectedFilter, filters.front()));
    }
    if (!request.initialFolder.empty()) {
        dialog.setDirectory(QString::fromStdString(request.initialFolder));
    }
    if (!request.initialName.empty()) {
        dialog.selectFile(QString::fromStdString(request.initialName));
    }
    if (!request.defaultExtension.empty()) {
        dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front().toStdString();
}

}  // namespace

std::optional<std::string> QtDialogs::OpenFile(QWidget* owner, const FileDialogRequest& request) {
    return RunFileDialog(owner, request, QFileDialog::AcceptOpen);
}

std::optional<std::string> QtDialogs::SaveFile(QWidget* owner, const FileDialogRequest& request) {
    return RunFileDialog(owner, request, QFileDialog::AcceptSave);
}

std::optional<std::string> QtDialogs::Folder(QWidget* owner, const std::string& title) {
    const QString chosen = QFileDialog::getExistingDirectory(owner, QString::fromStdString(title));
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen.toStdString();
}

}  // namespace tabrook::platform
