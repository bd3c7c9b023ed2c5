// The settings dialog as the Settings menu entry opens it: what it loads from set.txt and
// what each way of leaving it stores.

#include "state/setting_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <functional>
#include <optional>

#include "support/form_fixture.h"

namespace tabrook::state {
namespace {

constexpr const char* kSet = "set.txt";
using Boxes = std::pair<bool, bool>;

class SettingDialogTest : public ::testing::Test {
  protected:
    SettingDialogTest() { fixture.Open(); }

    // Chooses Settings and runs `act` on the dialog once it is up; a dialog left open is
    // closed, so a failing test cannot hang.
    void WithDialog(const std::function<void(Setting&)>& act) {
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<Setting*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->parentWidget(), nullptr);
            act(*dialog);
            if (dialog->isVisible()) {
                ADD_FAILURE() << "the dialog was left open";
                dialog->done(QDialog::Rejected);
            }
        });
        fixture.Form().findChild<QAction*>(QStringLiteral("Settings"))->trigger();
    }

    // Opens the dialog, reads its boxes and leaves by Enter (OK has the focus) or Cancel.
    Boxes OpenAndLeave(bool enter) {
        Boxes shown;
        WithDialog([&](Setting& dialog) {
            shown = {dialog.Check1().isChecked(), dialog.Check2().isChecked()};
            if (enter) {
                QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
            } else {
                QTest::mouseClick(&dialog.CancelButton(), Qt::LeftButton);
            }
        });
        return shown;
    }

    testing::FormFixture fixture;
};

TEST_F(SettingDialogTest, OnlyTheExactTextOneTicksABoxAndEnterOnOKWritesBothLines) {
    const struct {
        std::optional<std::string> content;  // nullopt: no set.txt
        Boxes shown;
        std::string written;
    } cases[] = {
        {"1\r\n0\r\n", {true, false}, "1\r\n0\r\n"},
        {std::nullopt, {false, false}, "0\r\n0\r\n"},
        {"0\r1\r\nmore\r\n", {false, true}, "0\r\n1\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content.value_or("(missing)"));
        std::filesystem::remove(fixture.appDir.Path() / kSet);
        if (c.content) {
            fixture.appDir.Write(kSet, *c.content);
        }
        EXPECT_EQ(OpenAndLeave(true), c.shown);
        EXPECT_EQ(fixture.ReadStateFile(kSet), c.written);
    }
}

TEST_F(SettingDialogTest, CancelCloseBoxEscapeAndEnterOffTheButtonsStoreNothing) {
    const std::function<void(Setting&)> ways[] = {
        [](Setting& d) { QTest::mouseClick(&d.CancelButton(), Qt::LeftButton); },
        [](Setting& d) { d.close(); },
        [](Setting& d) {
            QTest::keyClick(d.focusWidget(), Qt::Key_Escape);
            EXPECT_TRUE(d.isVisible()) << "Escape closed the dialog";
            d.close();
        },
        [](Setting& d) {
            d.Check1().setFocus();
            QTest::keyClick(&d.Check1(), Qt::Key_Return);
            EXPECT_TRUE(d.isVisible()) << "Enter on a check box pressed a button";
            d.close();
        },
    };
    const std::string before = "1\nx\n";  // any rewrite would show as CR LF
    for (const auto& leave : ways) {
        fixture.appDir.Write(kSet, before);
        WithDialog([&](Setting& dialog) {
            QTest::mouseClick(&dialog.Check1(), Qt::LeftButton);
            QTest::mouseClick(&dialog.Check2(), Qt::LeftButton);
            leave(dialog);
        });
        EXPECT_EQ(fixture.ReadStateFile(kSet), before);
        EXPECT_EQ(OpenAndLeave(false), Boxes(true, false));
    }
}

TEST_F(SettingDialogTest, AFailedWriteIsReportedAndKeepsTheDialogOpen) {
    fixture.appDir.MakeDir(kSet);  // a folder cannot be replaced by the file
    WithDialog([&](Setting& dialog) {
        QTest::mouseClick(&dialog.OKButton(), Qt::LeftButton);
        EXPECT_TRUE(dialog.isVisible());
        dialog.close();
    });
    ASSERT_EQ(fixture.messageBoxes.shown.size(), 1u);
    EXPECT_EQ(fixture.messageBoxes.shown[0].text, "Failed to save the settings!");
    EXPECT_EQ(fixture.messageBoxes.shown[0].icon, platform::MessageIcon::Critical);
}

}  // namespace
}  // namespace tabrook::state
