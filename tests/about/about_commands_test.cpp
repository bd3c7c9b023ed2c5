// The help and home page entries and the About box: what each hands to the shell, and the
// box's fixed texts.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <functional>
#include <map>
#include <tuple>

#include "about/about_box.h"
#include "about/link_label.h"
#include "platform/shell.h"
#include "support/form_fixture.h"

namespace tabrook::about {
namespace {

class AboutCommandsTest : public ::testing::Test {
  protected:
    AboutCommandsTest() { fixture.Open(); }

    // Chooses Help > About and runs `act` on the box once it is up; a box left open is
    // closed, so a failing test cannot hang.
    void WithAboutBox(const std::function<void(Dialog1&)>& act) {
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<Dialog1*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            act(*box);
            if (box->isVisible()) {
                ADD_FAILURE() << "the About box was left open";
                box->done(QDialog::Accepted);
            }
        });
        fixture.Form().findChild<QAction*>(QStringLiteral("About"))->trigger();
    }

    // The shell calls so far as (target, owner, show command).
    std::vector<std::tuple<std::string, QWidget*, platform::ShowCommand>> Calls() const {
        std::vector<std::tuple<std::string, QWidget*, platform::ShowCommand>> calls;
        for (const auto& call : fixture.shell.calls) {
            calls.emplace_back(call.target, call.owner, call.showCommand);
        }
        return calls;
    }

    testing::FormFixture fixture;
};

TEST_F(AboutCommandsTest, HelpAndHomePageEntriesOnlyAskTheShell) {
    for (const char* name : {"Help1", "Command8", "HomePage", "Command7"}) {
        if (auto* button = fixture.Form().findChild<QAbstractButton*>(name)) {
            button->click();
        } else {
            fixture.Form().findChild<QAction*>(name)->trigger();
        }
    }
    // The temporary application folder has no help.chm: still no message of our own.
    const std::string help = fixture.appDir.Str() + "/help.chm";
    QWidget* form = &fixture.Form();
    EXPECT_EQ(Calls(), (decltype(Calls()){{help, form, platform::ShowCommand::Show},
                                          {help, form, platform::ShowCommand::Show},
                                          {TABROOK_HOME_PAGE, form, platform::ShowCommand::Show},
                                          {TABROOK_HOME_PAGE, form, platform::ShowCommand::Show}}));
    EXPECT_TRUE(fixture.messageBoxes.shown.empty());
}

TEST_F(AboutCommandsTest, OpensTwiceWithTheSameWholeTextsLinksAndEnterCloses) {
    std::map<std::string, std::string> texts[2];
    QWidget* boxes[2] = {};
    for (int opening : {0, 1}) {
        WithAboutBox([&](Dialog1& box) {
            boxes[opening] = &box;
            for (const QLabel* label : box.findChildren<QLabel*>()) {
                texts[opening][label->objectName().toStdString()] = label->text().toStdString();
                // Build-time addresses and names must not be cut off.
                if (!label->wordWrap()) {
                    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()))
                        << label->objectName().toStdString();
                }
            }
            QTest::mouseClick(&box.Label2(), Qt::LeftButton);
            QTest::mouseClick(&box.Label8(), Qt::LeftButton);
            QTest::keyClick(box.focusWidget(), Qt::Key_Return);
            EXPECT_FALSE(box.isVisible()) << "Enter did not close the box";
        });
    }
    EXPECT_EQ(texts[0], texts[1]);
    EXPECT_EQ(texts[0]["Label2"], TABROOK_SUPPORT_EMAIL);
    EXPECT_EQ(texts[0]["Label4"], "Version:29.11.15");
    EXPECT_EQ(texts[0]["Label8"], TABROOK_WEBSITE_HOST);
    EXPECT_NE(texts[0]["Label6"].find(TABROOK_COMPANY_NAME), std::string::npos);
    const std::string mail = "mailto:" TABROOK_SUPPORT_EMAIL;
    EXPECT_EQ(Calls(),
              (decltype(Calls()){{mail, boxes[0], platform::ShowCommand::Maximized},
                                 {TABROOK_HOME_PAGE, boxes[0], platform::ShowCommand::Show},
                                 {mail, boxes[1], platform::ShowCommand::Maximized},
                                 {TABROOK_HOME_PAGE, boxes[1], platform::ShowCommand::Show}}));
}

}  // namespace
}  // namespace tabrook::about
