// The help and home page entries and the About box: what each hands to the shell, and the
// box's fixed texts, links and keyboard.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <functional>
#include <map>
#include <string>

#include "about/about_box.h"
#include "about/link_cursor.h"
#include "about/link_label.h"
#include "platform/shell.h"
#include "support/form_fixture.h"

namespace tabrook::about {
namespace {

using testing::FormFixture;

class AboutCommandsTest : public ::testing::Test {
  protected:
    AboutCommandsTest() { fixture.Open(); }

    void Trigger(const char* actionName) {
        auto* action = fixture.Form().findChild<QAction*>(QString::fromLatin1(actionName));
        ASSERT_NE(action, nullptr) << actionName;
        action->trigger();
    }

    // Chooses Help > About and runs `act` on the box once it is up; returns when the box has
    // closed. A box that `act` leaves open is closed, so a failing test cannot hang.
    void WithAboutBox(const std::function<void(Dialog1&)>& act) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<Dialog1*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr) << "the About box is not the active modal window";
            ran = true;
            act(*box);
            if (box->isVisible()) {
                ADD_FAILURE() << "the About box was left open";
                box->done(QDialog::Accepted);
            }
        });
        Trigger("About");
        EXPECT_TRUE(ran);
    }

    FormFixture fixture;
};

TEST_F(AboutCommandsTest, HelpAndHomePageEntriesOpenThroughTheShell) {
    const std::string helpFile = fixture.appDir.Str() + "/help.chm";
    struct Entry {
        const char* name;
        bool isButton;
        std::string target;
    };
    const Entry entries[] = {
        {"Help1", false, helpFile},
        {"Command8", true, helpFile},
        {"HomePage", false, TABROOK_HOME_PAGE},
        {"Command7", true, TABROOK_HOME_PAGE},
    };
    // The temporary application folder has no help.chm: the program still only asks the
    // shell and shows nothing of its own.
    ASSERT_FALSE(std::filesystem::exists(helpFile));
    for (const Entry& entry : entries) {
        SCOPED_TRACE(entry.name);
        fixture.shell.calls.clear();
        if (entry.isButton) {
            auto* button =
                fixture.Form().findChild<QAbstractButton*>(QString::fromLatin1(entry.name));
            ASSERT_NE(button, nullptr);
            button->click();
        } else {
            Trigger(entry.name);
        }
        ASSERT_EQ(fixture.shell.calls.size(), 1u);
        EXPECT_EQ(fixture.shell.calls[0].target, entry.target);
        EXPECT_EQ(fixture.shell.calls[0].owner, &fixture.Form());
        EXPECT_EQ(fixture.shell.calls[0].showCommand, platform::kShow);
    }
    EXPECT_TRUE(fixture.messageBoxes.shown.empty());
}

TEST_F(AboutCommandsTest, LinksOpenMailAndSiteOwnedByTheBox) {
    WithAboutBox([&](Dialog1& box) {
        QTest::mouseClick(&box.Label2(), Qt::LeftButton);
        QTest::mouseClick(&box.Label8(), Qt::LeftButton);
        // A press that is released outside the label is no click.
        QTest::mousePress(&box.Label8(), Qt::LeftButton);
        QTest::mouseRelease(&box.Label8(), Qt::LeftButton, {}, QPoint(-5, -5));
        ASSERT_EQ(fixture.shell.calls.size(), 2u);
        EXPECT_EQ(fixture.shell.calls[0].target, "mailto:" TABROOK_SUPPORT_EMAIL);
        EXPECT_EQ(fixture.shell.calls[0].showCommand, platform::kShowMaximized);
        EXPECT_EQ(fixture.shell.calls[0].owner, &box);
        EXPECT_EQ(fixture.shell.calls[1].target, TABROOK_HOME_PAGE);
        EXPECT_EQ(fixture.shell.calls[1].showCommand, platform::kShow);
        EXPECT_EQ(fixture.shell.calls[1].owner, &box);
        box.OKButton().click();
    });
    EXPECT_TRUE(fixture.messageBoxes.shown.empty());
}

std::map<std::string, std::string> LabelTexts(const Dialog1& box) {
    std::map<std::string, std::string> texts;
    for (const QLabel* label : box.findChildren<QLabel*>()) {
        texts[label->objectName().toStdString()] = label->text().toStdString();
    }
    return texts;
}

TEST_F(AboutCommandsTest, OpensAfreshWithTheSameFixedTextsAndEnterCloses) {
    std::map<std::string, std::string> first;
    std::map<std::string, std::string> second;
    WithAboutBox([&](Dialog1& box) {
        first = LabelTexts(box);
        EXPECT_EQ(box.parentWidget(), nullptr);
        EXPECT_EQ(box.windowModality(), Qt::ApplicationModal);
        EXPECT_EQ(box.windowTitle(), QStringLiteral("About us"));
        EXPECT_EQ(box.focusWidget(), &box.OKButton());
        QTest::keyClick(box.focusWidget(), Qt::Key_Return);
        EXPECT_FALSE(box.isVisible()) << "Enter did not close the box";
    });
    WithAboutBox([&](Dialog1& box) {
        second = LabelTexts(box);
        box.OKButton().click();
    });
    EXPECT_EQ(first, second);
    EXPECT_EQ(first.size(), 8u);
    EXPECT_EQ(first["Label1"], "Tabrook");
    EXPECT_EQ(first["Label2"], TABROOK_SUPPORT_EMAIL);
    EXPECT_EQ(first["Label3"], "Technical Support:");
    EXPECT_EQ(first["Label4"], "Version:29.11.15");
    EXPECT_EQ(first["Label7"], " Website:");
    EXPECT_EQ(first["Label8"], TABROOK_WEBSITE_HOST);
    EXPECT_NE(first["Label6"].find(TABROOK_COMPANY_NAME), std::string::npos);
    EXPECT_FALSE(first["Label5"].empty());
}

TEST_F(AboutCommandsTest, LinkLabelsShowTheWholeTextInTheHighlightColourWithOurPointer) {
    WithAboutBox([&](Dialog1& box) {
        // The addresses and the maker's name are set at build time: none may be cut off.
        for (const char* name : {"Label2", "Label6", "Label8"}) {
            const auto* label = box.findChild<QLabel*>(QString::fromLatin1(name));
            ASSERT_NE(label, nullptr);
            EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()))
                << name;
        }
        for (LinkLabel* link : {&box.Label2(), &box.Label8()}) {
            SCOPED_TRACE(link->objectName().toStdString());
            EXPECT_EQ(link->palette().color(QPalette::WindowText),
                      link->palette().color(QPalette::Highlight));
            const QCursor cursor = link->cursor();
            EXPECT_EQ(cursor.shape(), Qt::BitmapCursor);
            EXPECT_EQ(cursor.pixmap().size(), QSize(kLinkCursorSize, kLinkCursorSize));
            // The hot spot is on the drawn finger tip, not in the transparent background.
            const QImage image = cursor.pixmap().toImage();
            EXPECT_GT(qAlpha(image.pixel(cursor.hotSpot() + QPoint(0, 1))), 0);
        }
        box.OKButton().click();
    });
}

}  // namespace
}  // namespace tabrook::about
