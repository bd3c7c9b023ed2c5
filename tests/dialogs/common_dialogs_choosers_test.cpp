// The colour, font and printer choosers of CCommonDialogs: what each asks the platform for,
// what it keeps on confirmation, and what a cancel leaves alone.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "dialogs/common_dialogs.h"
#include "platform/posix_file_system.h"
#include "platform/qt_dialogs.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"

namespace tabrook::dialogs {
namespace {

class ChoosersTest : public ::testing::Test {
  protected:
    ChoosersTest() : dialog(scripted, fileSystem, appDir.Str()) {
        dialog.Init(&owner);
        dialog.SetColor(0x00336699);
        dialog.SetFontName("Arial");
        dialog.SetFontSize(10);
        dialog.SetFontUnderline(true);
    }

    // The chooser properties, to compare before and after.
    auto Props() const {
        return std::make_tuple(dialog.Color(), dialog.FontName(), dialog.FontSize(),
                               dialog.FontBold(), dialog.FontItalic(), dialog.FontUnderline());
    }

    testing::TempDir appDir;
    QWidget owner;
    platform::PosixFileSystem fileSystem;
    testing::ScriptedDialogs scripted;
    CCommonDialogs dialog;
};

TEST_F(ChoosersTest, ShowColorStartsOnColorAndKeepsOnlyAConfirmedChoice) {
    scripted.colorAnswers = {0x000000FF, std::nullopt};
    EXPECT_TRUE(dialog.ShowColor(false));
    EXPECT_EQ(dialog.Color(), 0x000000FFu);
    EXPECT_FALSE(dialog.ShowColor(true));
    EXPECT_EQ(dialog.Color(), 0x000000FFu);
    using Request = std::pair<std::uint32_t, bool>;
    EXPECT_EQ(scripted.colorRequests,
              (std::vector<Request>{{0x00336699, false}, {0x000000FF, true}}));
    EXPECT_EQ(scripted.owners.back(), &owner);
}

TEST_F(ChoosersTest, ShowFontAsksForTheRoundedCharacterHeightAndA31CharacterName) {
    const std::string n31(31, 'n'), a30(30, 'a');
    const struct {
        std::int16_t points;
        int dpi, height;
        std::string name, passed;
    } cases[] = {{10, 96, -13, "Arial", "Arial"},                    // 13.33
                 {8, 96, -11, n31 + "cut", n31},                     // 10.67
                 {3, 108, -5, a30 + "\xC3\xA9z", a30 + "\xC3\xA9"},  // 4.5; é kept whole
                 {-3, 108, 5, "", ""},
                 {0, 96, 0, "", ""}};
    dialog.SetFontBold(true);
    for (const auto& c : cases) {
        dialog.SetFontSize(c.points);
        dialog.SetFontName(c.name);
        scripted.screenDpiY = c.dpi;
        dialog.ShowFont();
        const platform::FontRequest& request = scripted.fontRequests.back();
        EXPECT_EQ(request.heightPixels, c.height) << c.points << " pt at " << c.dpi << " dpi";
        EXPECT_EQ(request.faceName, c.passed);
        EXPECT_TRUE(request.bold && request.underline && !request.italic);
    }
}

TEST_F(ChoosersTest, ShowFontKeepsWholePointsAndLeavesUnderlineAndColor) {
    for (const auto& [tenths, points] : {std::pair{115, 11}, {119, 11}, {5, 0}}) {
        scripted.fontAnswers = {platform::FontResult{"DejaVu Serif", tenths, true, true}};
        EXPECT_TRUE(dialog.ShowFont());
        EXPECT_EQ(Props(), std::make_tuple(0x00336699u, std::string("DejaVu Serif"),
                                           static_cast<std::int16_t>(points), true, true, true));
    }
}

TEST_F(ChoosersTest, CancelAndPrinterChangeNoProperty) {
    const auto before = Props();
    EXPECT_FALSE(dialog.ShowFont());
    scripted.printAnswers = {true};
    EXPECT_TRUE(dialog.ShowPrinter());
    EXPECT_EQ(Props(), before);

    EXPECT_FALSE(dialog.ShowPrinterProperties()) << "no printer";
    EXPECT_TRUE(scripted.printerPropertiesRequests.empty());
    scripted.defaultPrinter = "Office_Laser";
    scripted.printerPropertiesAnswers = {true};
    EXPECT_TRUE(dialog.ShowPrinterProperties());
    EXPECT_EQ(scripted.printerPropertiesRequests, std::vector<std::string>{"Office_Laser"});
}

// Runs `act` on the modal T once it is up; whatever is still open afterwards is rejected.
template <typename T>
void WhenModal(const std::function<void(T&)>& act) {
    QTimer::singleShot(0, [act] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            act(*dialog);
        } else {
            ADD_FAILURE() << "no modal " << T::staticMetaObject.className();
        }
        if (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            open->reject();
        }
    });
}

// Qt's own colour dialog behind the interface, driven offscreen.
TEST(QtColorDialogTest, CrossesAsBgrWithBlackCustomColoursAndCompactStart) {
    platform::QtDialogs dialogs;
    QColorDialog::setCustomColor(0, QColor(Qt::red));  // left from an earlier use
    for (const bool fullOpen : {false, true}) {
        WhenModal<QColorDialog>([&](QColorDialog& dialog) {
            EXPECT_EQ(dialog.currentColor(), QColor(0x99, 0x66, 0x33));
            EXPECT_EQ(QColorDialog::customColor(0), QColor(Qt::black));
            auto* define = dialog.findChild<QAbstractButton*>(QStringLiteral("defineCustomColors"));
            EXPECT_EQ(define != nullptr, !fullOpen);
            dialog.setCurrentColor(QColor(10, 20, 30));
            dialog.accept();
        });
        EXPECT_EQ(dialogs.Color(nullptr, 0x00336699, fullOpen), 0x001E140Au) << fullOpen;
    }
    WhenModal<QColorDialog>([](QColorDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(dialogs.Color(nullptr, 0, true), std::nullopt);
}

}  // namespace
}  // namespace tabrook::dialogs
