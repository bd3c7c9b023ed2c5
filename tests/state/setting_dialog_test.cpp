// The settings dialog as the Settings menu entry opens it: what it loads from set.txt,
// what each way of leaving it stores, and its keyboard rules.

#include "state/setting_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>

#include "support/form_fixture.h"

namespace tabrook::state {
namespace {

using testing::FormFixture;

constexpr const char* kSet = "set.txt";

struct BoxStates {
    bool check1 = false;
    bool check2 = false;
    bool operator==(const BoxStates&) const = default;
};

class SettingDialogTest : public ::testing::Test {
  protected:
    SettingDialogTest() { fixture.Open(); }

    // Chooses Settings from the menu and runs `act` on the dialog once it is up; returns
    // when the dialog has closed. A dialog that `act` leaves open is closed, so a failing
    // test cannot hang.
    void WithSettingDialog(const std::function<void(Setting&)>& act) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<Setting*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr) << "the settings dialog is not the active modal window";
            ran = true;
            act(*dialog);
            if (dialog->isVisible()) {
                ADD_FAILURE() << "the dialog was left open";
                dialog->done(QDialog::Rejected);
            }
        });
        auto* settings = fixture.Form().findChild<QAction*>(QStringLiteral("Settings"));
        ASSERT_NE(settings, nullptr);
        settings->trigger();
        EXPECT_TRUE(ran);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }

    BoxStates OpenAndOK() {
        BoxStates shown;
        WithSettingDialog([&](Setting& dialog) {
            shown = {dialog.Check1().isChecked(), dialog.Check2().isChecked()};
            QTest::mouseClick(&dialog.OKButton(), Qt::LeftButton);
        });
        return shown;
    }

    FormFixture fixture;
};

TEST_F(SettingDialogTest, OnlyTheExactTextOneTicksABoxAndOKWritesBothLines) {
    struct Case {
        const char* name;
        std::optional<std::string> content;  // nullopt: no set.txt at all
        BoxStates shown;
        std::string written;
    };
    const Case cases[] = {
        {"first on", "1\r\n0\r\n", {true, false}, "1\r\n0\r\n"},
        {"second on", "0\r\n1\r\n", {false, true}, "0\r\n1\r\n"},
        {"empty file", "", {false, false}, "0\r\n0\r\n"},
        {"missing file", std::nullopt, {false, false}, "0\r\n0\r\n"},
        {"blanks and words", " 1\r\nyes\r\n", {false, false}, "0\r\n0\r\n"},
        {"trailing blank", "1 \r\n1\r\n", {false, true}, "0\r\n1\r\n"},
        {"one line without end", "1", {true, false}, "1\r\n0\r\n"},
        {"LF line ends", "1\n1\n", {true, true}, "1\r\n1\r\n"},
        {"lone CR line ends", "1\r1", {true, true}, "1\r\n1\r\n"},
        {"extra lines dropped", "1\r\n1\r\nmore\r\n", {true, true}, "1\r\n1\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(fixture.appDir.Path() / kSet);
        if (c.content) {
            fixture.appDir.Write(kSet, *c.content);
        }
        EXPECT_EQ(OpenAndOK(), c.shown);
        EXPECT_EQ(fixture.ReadStateFile(kSet), c.written);
    }
    EXPECT_TRUE(fixture.messageBoxes.shown.empty());
}

TEST_F(SettingDialogTest, BoxesChangeNothingUntilOK) {
    fixture.WriteStateFile(kSet, {"0", "1"});
    WithSettingDialog([&](Setting& dialog) {
        QTest::mouseClick(&dialog.Check1(), Qt::LeftButton);
        QTest::mouseClick(&dialog.Check2(), Qt::LeftButton);
        EXPECT_EQ(fixture.ReadStateFile(kSet), "0\r\n1\r\n");
        QTest::mouseClick(&dialog.OKButton(), Qt::LeftButton);
    });
    EXPECT_EQ(fixture.ReadStateFile(kSet), "1\r\n0\r\n");
}

TEST_F(SettingDialogTest, CancelCloseBoxAndEscapeStoreNothing) {
    struct Way {
        const char* name;
        std::function<void(Setting&)> leave;
    };
    const Way ways[] = {
        {"Cancel", [](Setting& d) { QTest::mouseClick(&d.CancelButton(), Qt::LeftButton); }},
        {"close box", [](Setting& d) { d.close(); }},
        {"Escape, then Cancel",
         [](Setting& d) {
             QTest::keyClick(d.focusWidget(), Qt::Key_Escape);
             EXPECT_TRUE(d.isVisible()) << "Escape closed the dialog";
             QTest::mouseClick(&d.CancelButton(), Qt::LeftButton);
         }},
    };
    // Unusual content shows that nothing rewrites the file, not even with the same values.
    const std::string before = "1\nx\n";
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        fixture.appDir.Write(kSet, before);
        WithSettingDialog([&](Setting& dialog) {
            dialog.Check1().setChecked(false);
            dialog.Check2().setChecked(true);
            way.leave(dialog);
        });
        EXPECT_EQ(fixture.ReadStateFile(kSet), before);
        EXPECT_EQ(OpenAndOK(), (BoxStates{true, false})) << "the next opening shows the old state";
    }
}

TEST_F(SettingDialogTest, EnterPressesOnlyTheFocusedButton) {
    fixture.WriteStateFile(kSet, {"1", "1"});
    WithSettingDialog([&](Setting& dialog) {
        EXPECT_EQ(dialog.focusWidget(), &dialog.OKButton());
        // On a check box Enter does nothing: no button is the dialog's default.
        dialog.Check1().setFocus();
        QTest::keyClick(&dialog.Check1(), Qt::Key_Return);
        ASSERT_TRUE(dialog.isVisible());
        dialog.CancelButton().setFocus();
        QTest::keyClick(&dialog.CancelButton(), Qt::Key_Return);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(fixture.ReadStateFile(kSet), "1\r\n1\r\n");

    WithSettingDialog([&](Setting& dialog) {
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
        EXPECT_FALSE(dialog.isVisible()) << "Enter on opening did not press OK";
    });
    // Written anew, so the line ends are CR LF even where the old file had them too.
    EXPECT_EQ(fixture.ReadStateFile(kSet), "1\r\n1\r\n");
}

TEST_F(SettingDialogTest, IsAnOwnerlessModalFixedDialogInTabOrder) {
    WithSettingDialog([&](Setting& dialog) {
        EXPECT_EQ(dialog.parentWidget(), nullptr);
        EXPECT_EQ(dialog.windowModality(), Qt::ApplicationModal);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Setting"));
        EXPECT_FALSE(dialog.windowFlags() &
                     (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        EXPECT_TRUE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
        EXPECT_EQ(dialog.Check1().text(),
                  QStringLiteral("Automatically save the current file\r\n"));
        // 3732 x 1560 twips at the test screen's dpi.
        const int dpi = dialog.logicalDpiX();
        EXPECT_EQ(dialog.width(), qRound(3732.0 * dpi / 1440));
        EXPECT_EQ(dialog.height(), qRound(1560.0 * dpi / 1440));
        // Tab visits the buttons, then the boxes, and comes back to OK.
        QWidget* expected[] = {&dialog.CancelButton(), &dialog.Check1(), &dialog.Check2(),
                               &dialog.OKButton()};
        for (QWidget* next : expected) {
            QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(dialog.focusWidget(), next) << next->objectName().toStdString();
        }
        EXPECT_FALSE(dialog.OKButton().isDefault());
        EXPECT_FALSE(dialog.CancelButton().isDefault());
        dialog.close();
    });
}

TEST_F(SettingDialogTest, AFailedWriteIsReportedAndKeepsTheDialogOpen) {
    // A folder where set.txt belongs cannot be replaced by a file.
    fixture.appDir.MakeDir(kSet);
    WithSettingDialog([&](Setting& dialog) {
        dialog.Check1().setChecked(true);
        QTest::mouseClick(&dialog.OKButton(), Qt::LeftButton);
        EXPECT_TRUE(dialog.isVisible());
        ASSERT_EQ(fixture.messageBoxes.shown.size(), 1u);
        EXPECT_EQ(fixture.messageBoxes.shown[0].text, "Failed to save the settings!");
        EXPECT_EQ(fixture.messageBoxes.shown[0].icon, platform::MessageIcon::Critical);
        EXPECT_EQ(fixture.messageBoxes.owners[0], &dialog);
        QTest::mouseClick(&dialog.CancelButton(), Qt::LeftButton);
    });
    EXPECT_TRUE(std::filesystem::is_directory(fixture.appDir.Path() / kSet));
}

TEST_F(SettingDialogTest, TickingTheFirstBoxMakesShutDownSaveTheSourceEntries) {
    // Written by another tool with LF line ends: a rewrite at shut-down shows as CR LF.
    fixture.appDir.Write("EXCEL.txt", "/nowhere/a.xls\n/nowhere/b\n");
    FormFixture& f = fixture;
    f.Close();
    EXPECT_EQ(f.ReadStateFile("EXCEL.txt"), "/nowhere/a.xls\n/nowhere/b\n");

    f.Open();
    WithSettingDialog([&](Setting& dialog) {
        QTest::mouseClick(&dialog.Check1(), Qt::LeftButton);
        QTest::mouseClick(&dialog.OKButton(), Qt::LeftButton);
    });
    f.Close();
    EXPECT_EQ(f.ReadStateFile("EXCEL.txt"), "/nowhere/a.xls\r\n/nowhere/b\r\n");
}

}  // namespace
}  // namespace tabrook::state
