#include <QAbstractButton>
#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "platform/qt_dialogs.h"

namespace tabrook::platform {
namespace {

constexpr int kCustomColorCount = 16;
constexpr int kDefaultDpi = 96;

QColor FromBgr(std::uint32_t value) {
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

std::uint32_t ToBgr(const QColor& color) {
    return static_cast<std::uint32_t>(color.red()) |
           (static_cast<std::uint32_t>(color.green()) << 8) |
           (static_cast<std::uint32_t>(color.blue()) << 16);
}

bool IsOneOf(const QObject* object, std::initializer_list<const char*> classNames) {
    const QByteArray name(object->metaObject()->className());
    for (const char* className : classNames) {
        if (name.endsWith(className)) {
            return true;
        }
    }
    return false;
}

// Without full open only the basic and custom colour wells show; a button opens the
// colour picker, as the compact form of a colour chooser does. The picker's parts are
// found by their Qt class names; if Qt renames them the dialog simply stays full.
void StartCompact(QColorDialog& dialog) {
    QList<QWidget*> pickerParts;
    for (QWidget* child : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const auto* button = qobject_cast<QPushButton*>(child);
        const bool addButton =
            button != nullptr && button->text().contains(QStringLiteral("Custom"));
        if (addButton ||
            IsOneOf(child, {"QColorPicker", "QColorLuminancePicker", "QColorShower"})) {
            pickerParts << child;
        }
    }
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    if (pickerParts.isEmpty() || buttons == nullptr) {
        return;
    }
    for (QWidget* part : pickerParts) {
        part->hide();
    }
    QPushButton* define =
        buttons->addButton(QStringLiteral("Define Custom Colors >>"), QDialogButtonBox::ActionRole);
    define->setObjectName(QStringLiteral("defineCustomColors"));
    QObject::connect(define, &QPushButton::clicked, &dialog, [pickerParts, define] {
        for (QWidget* part : pickerParts) {
            part->show();
        }
        define->hide();
    });
}

}  // namespace

std::optional<std::uint32_t> QtDialogs::Color(QWidget* owner, std::uint32_t initial,
                                              bool fullOpen) {
    // The custom colours start black on every call and are not kept for the next one.
    for (int index = 0; index < kCustomColorCount; ++index) {
        QColorDialog::setCustomColor(index, QColor(Qt::black));
    }
    QColorDialog dialog(FromBgr(initial), owner);
    dialog.setOption(QColorDialog::DontUseNativeDialog, true);
    if (!fullOpen) {
        StartCompact(dialog);
    }
    const bool chosen = dialog.exec() == QDialog::Accepted;
    for (int index = 0; index < kCustomColorCount; ++index) {
        QColorDialog::setCustomColor(index, QColor(Qt::black));
    }
    if (!chosen) {
        return std::nullopt;
    }
    return ToBgr(dialog.selectedColor());
}

std::optional<FontResult> QtDialogs::Font(QWidget* owner, const FontRequest& request) {
    const int dpi = ScreenDpiY();
    QFont initial;
    if (!request.faceName.empty()) {
        initial.setFamily(QString::fromStdString(request.faceName));
    }
    if (request.heightPixels != 0) {
        // Height in pixels back to whole points on this screen: -13 at 96 dpi is 10 pt.
        const double points = std::abs(request.heightPixels) * 72.0 / dpi;
        initial.setPointSize(std::max(1, static_cast<int>(std::lround(points))));
    }
    initial.setBold(request.bold);
    initial.setItalic(request.italic);
    initial.setUnderline(request.underline);

    QFontDialog dialog(initial, owner);
    dialog.setOption(QFontDialog::DontUseNativeDialog, true);
    // No effects are offered: the group with the underline and strike-out boxes is hidden.
    for (QGroupBox* group : dialog.findChildren<QGroupBox*>()) {
        if (!group->findChildren<QCheckBox*>().isEmpty()) {
            group->hide();
        }
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QFont chosen = dialog.selectedFont();
    FontResult result;
    result.faceName = chosen.family().toStdString();
    if (chosen.pointSizeF() > 0) {
        result.pointSizeTenths = static_cast<int>(std::lround(chosen.pointSizeF() * 10));
    } else {
        result.pointSizeTenths = static_cast<int>(std::lround(chosen.pixelSize() * 720.0 / dpi));
    }
    result.bold = chosen.bold();
    result.italic = chosen.italic();
    return result;
}

int QtDialogs::ScreenDpiY() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? static_cast<int>(std::lround(screen->logicalDotsPerInchY()))
                             : kDefaultDpi;
}

bool QtDialogs::Print(QWidget* owner) {
    QPrinter printer;
    QPrintDialog dialog(&printer, owner);
    // Only the choice of printer and copies: no selection, no page numbers, no file.
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    return dialog.exec() == QDialog::Accepted;
}

std::string QtDialogs::DefaultPrinterName() const {
    return QPrinterInfo::defaultPrinterName().toStdString();
}

bool QtDialogs::PrinterProperties(QWidget* owner, const std::string& printerName) {
    const QPrinterInfo info = QPrinterInfo::printerInfo(QString::fromStdString(printerName));
    if (info.isNull()) {
        return false;
    }
    // The printer's own page settings; what the user sets there stays with the printer
    // object of this call.
    QPrinter printer(info);
    QPageSetupDialog dialog(&printer, owner);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace tabrook::platform
