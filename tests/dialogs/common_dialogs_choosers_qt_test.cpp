// The Qt colour, font, print and page-setup dialogs behind the platform interface, driven
// offscreen: colour values cross in 0x00BBGGRR, heights come back as point sizes, and the
// parts the program does not offer stay hidden.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QFontDialog>
#include <QGroupBox>
#include <QPrintDialog>
#include <QTimer>
#include <functional>

#include "platform/qt_dialogs.h"

namespace tabrook::platform {
namespace {

// Runs `act` on the modal dialog of type T once it is up. Whatever is still open after
// `act` is rejected, so a failing test cannot hang.
template <typename T>
void WhenModal(const std::function<void(T&)>& act) {
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* dialog = qobject_cast<T*>(modal);
        if (dialog == nullptr) {
            ADD_FAILURE() << "no modal " << T::staticMetaObject.className();
        } else {
            act(*dialog);
        }
        if (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            open->reject();
        }
    });
}

bool PickerShown(const QColorDialog& dialog) {
    for (const QWidget* child : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (QByteArray(child->metaObject()->className()).endsWith("QColorPicker")) {
            return child->isVisible();
        }
    }
    ADD_FAILURE() << "no colour picker in the dialog";
    return false;
}

QAbstractButton* DefineButton(const QColorDialog& dialog) {
    return dialog.findChild<QAbstractButton*>(QStringLiteral("defineCustomColors"));
}

TEST(QtChooserDialogsTest, ColorCrossesAsBgrAndStartsWithBlackCustomColours) {
    QtDialogs dialogs;
    QColorDialog::setCustomColor(0, QColor(Qt::red));  // left over from an earlier use
    for (const bool fullOpen : {false, true}) {
        SCOPED_TRACE(fullOpen);
        WhenModal<QColorDialog>([&](QColorDialog& dialog) {
            EXPECT_EQ(dialog.currentColor(), QColor(0x99, 0x66, 0x33));
            EXPECT_EQ(QColorDialog::customColor(0), QColor(Qt::black));
            EXPECT_EQ(PickerShown(dialog), fullOpen);
            EXPECT_EQ(DefineButton(dialog) != nullptr, !fullOpen);
            if (!fullOpen) {
                DefineButton(dialog)->click();
                EXPECT_TRUE(PickerShown(dialog)) << "Define Custom Colors did not open it";
            }
            dialog.setCurrentColor(QColor(10, 20, 30));
            dialog.accept();
        });
        EXPECT_EQ(dialogs.Color(nullptr, 0x00336699, fullOpen),
                  std::optional<std::uint32_t>(0x001E140A));
    }
    WhenModal<QColorDialog>([](QColorDialog& dialog) {
        dialog.setCurrentColor(QColor(1, 2, 3));
        dialog.reject();
    });
    EXPECT_EQ(dialogs.Color(nullptr, 0, true), std::nullopt);
}

TEST(QtChooserDialogsTest, FontOpensOnTheRequestAndReturnsPointSizeInTenths) {
    QtDialogs dialogs;
    const int dpi = dialogs.ScreenDpiY();
    ASSERT_GT(dpi, 0);
    // The height a 10-point request carries on this screen, as ShowFont computes it.
    const int height = -((10 * dpi + 36) / 72);
    WhenModal<QFontDialog>([&](QFontDialog& dialog) {
        const QFont current = dialog.currentFont();
        EXPECT_EQ(current.pointSize(), 10);
        EXPECT_TRUE(current.bold());
        EXPECT_TRUE(current.italic());
        for (const QGroupBox* group : dialog.findChildren<QGroupBox*>()) {
            if (!group->findChildren<QAbstractButton*>().isEmpty()) {
                EXPECT_FALSE(group->isVisible()) << "the effects are offered";
            }
        }
        QFont chosen(QStringLiteral("DejaVu Serif"));
        chosen.setPointSize(14);
        chosen.setBold(false);
        chosen.setItalic(true);
        dialog.setCurrentFont(chosen);
        dialog.accept();
    });
    const std::optional<FontResult> result =
        dialogs.Font(nullptr, FontRequest{"DejaVu Sans", height, true, true, true});
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->pointSizeTenths, 140);
    EXPECT_FALSE(result->bold);
    EXPECT_TRUE(result->italic);
    EXPECT_FALSE(result->faceName.empty());

    WhenModal<QFontDialog>([](QFontDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(dialogs.Font(nullptr, FontRequest{}), std::nullopt);
}

TEST(QtChooserDialogsTest, PrintReportsTheAnswerAndAnUnknownPrinterOpensNothing) {
    QtDialogs dialogs;
    WhenModal<QPrintDialog>([](QPrintDialog& dialog) {
        EXPECT_FALSE(dialog.testOption(QAbstractPrintDialog::PrintToFile));
        EXPECT_FALSE(dialog.testOption(QAbstractPrintDialog::PrintPageRange));
        EXPECT_FALSE(dialog.testOption(QAbstractPrintDialog::PrintSelection));
        dialog.reject();
    });
    EXPECT_FALSE(dialogs.Print(nullptr));

    bool dialogShown = false;
    QTimer::singleShot(0, [&] {
        if (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            dialogShown = true;
            open->reject();
        }
    });
    EXPECT_FALSE(dialogs.PrinterProperties(nullptr, "no printer of this name"));
    QApplication::processEvents();
    EXPECT_FALSE(dialogShown);
}

}  // namespace
}  // namespace tabrook::platform
