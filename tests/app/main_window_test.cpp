#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QMenuBar>
#include <QTest>

#include "app/form1.h"
#include "platform/controls/twips.h"
#include "support/form_fixture.h"

namespace tabrook::app {
namespace {

using tabrook::testing::FormFixture;

TEST(MainWindow, ControlsStandWhereTheLayoutPutsThemWithTheirCaptionsAndFonts) {
    FormFixture fixture;
    Form1& form = fixture.Open();
    struct Control {
        const char* name;
        const char* caption;
        int left, top, width, height;
        double points;
    };
    const Control controls[] = {
        {"Command5", "Add Folder", 120, 0, 1210, 975, 9.6},
        {"Command1", "Add Word", 1440, 0, 1210, 975, 9.6},
        {"Command2", "Remove File", 2760, 0, 1330, 975, 9.6},
        {"Command6", "Convert", 5520, 0, 1090, 975, 9.6},
        {"Command8", "Help", 6720, 0, 970, 975, 9.6},
        {"Command7", "HomePage", 7800, 0, 1090, 975, 9.6},
        {"Command9", "Exit", 9000, 0, 970, 975, 9.6},
        {"ListView1", nullptr, 120, 1080, 5175, 4575, 8.4},
        {"ListView2", nullptr, 5880, 1080, 4095, 4575, 8.4},
        {"Command3", "", 5400, 2040, 370, 610, 8.4},
        {"Command4", "", 5400, 2880, 370, 610, 8.4},
        {"ProgressBar1", nullptr, 120, 6480, 9975, 255, 8.4},
        {"Combo1", nullptr, 1200, 5760, 8775, 345, 9},
        {"Label2", "File Format:", 120, 5760, 975, 255, 9},
        {"Command11", "View", 9120, 6120, 855, 325, 8.4},
        {"Command10", "Browse", 8040, 6120, 975, 325, 9},
        {"Combo2", nullptr, 2160, 6120, 5775, 330, 8.4},
        {"Label1", "Select  output directory:", 120, 6120, 1935, 255, 9},
    };
    for (const Control& c : controls) {
        auto* widget = form.findChild<QWidget*>(c.name);
        ASSERT_NE(widget, nullptr) << c.name;
        EXPECT_EQ(widget->geometry(), platform::TwipsRect(&form, c.left, c.top, c.width, c.height))
            << c.name;
        EXPECT_EQ(widget->font().family(), "Arial") << c.name;
        EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), c.points) << c.name;
        if (c.caption != nullptr) {
            const QString text = widget->property("text").toString();
            EXPECT_EQ(text.toStdString(), c.caption) << c.name;
        }
    }
    EXPECT_EQ(form.windowTitle().toStdString(), "Tabrook");
    EXPECT_EQ(form.centralWidget()->size(),
              QSize(platform::TwipsToPixels(&form, 10164), platform::TwipsToPixels(&form, 6816)));
}

TEST(MainWindow, FixedSizeMinimisableNotMaximisable) {
    FormFixture fixture;
    Form1& form = fixture.Open();
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowCloseButtonHint));
}

TEST(MainWindow, TabVisitsTheControlsInTheirOrder) {
    FormFixture fixture;
    Form1& form = fixture.Open();
    const char* order[] = {"Command5", "Command1", "Command2",  "Command6",  "Command8",
                           "Command7", "Command9", "ListView1", "ListView2", "Command3",
                           "Command4", "Combo1",   "Command11", "Command10", "Combo2"};
    QWidget* current = form.findChild<QWidget*>(order[0]);
    for (std::size_t i = 1; i < std::size(order); ++i) {
        current = current->nextInFocusChain();
        // Labels, the progress bar and the inner widgets of a control are no stop.
        while (current != nullptr && (current->parentWidget() != form.centralWidget() ||
                                      !(current->focusPolicy() & Qt::TabFocus))) {
            current = current->nextInFocusChain();
        }
        ASSERT_NE(current, nullptr);
        EXPECT_EQ(current->objectName().toStdString(), order[i]);
    }
}

TEST(MainWindow, MenusHoldEveryEntryByRoleWithoutShortcuts) {
    FormFixture fixture;
    Form1& form = fixture.Open();
    std::vector<std::string> seen;
    for (QAction* top : form.menuBar()->actions()) {
        std::string line = top->text().toStdString() + ":";
        if (QMenu* menu = top->menu()) {
            for (QAction* entry : menu->actions()) {
                line += " " + entry->objectName().toStdString() + "=" + entry->text().toStdString();
                EXPECT_TRUE(entry->shortcut().isEmpty());
                EXPECT_FALSE(entry->text().contains('&'));
            }
        } else {
            line += " " + top->objectName().toStdString();
        }
        seen.push_back(line);
    }
    EXPECT_THAT(seen,
                ::testing::ElementsAre("File: AddFolder=Add Folder AddExcel=Add Excel",
                                       "Edit: RemoveItem=Remove Item RemoveAll=Remove All Items "
                                       "Removeoutput=Remove Current Output Directory "
                                       "RemoveAllOutput=Remove All Output Directory",
                                       "Actions: Separate=Convert", "Settings: Settings",
                                       "Help: Help1=Help HomePage=HomePage About=About"));
}

}  // namespace
}  // namespace tabrook::app
