// The colour, font and printer choosers of CCommonDialogs on scripted dialogs: what each
// asks the platform for, what it keeps on confirmation, and what a cancel leaves alone.

#include <gtest/gtest.h>

#include <QWidget>
#include <optional>
#include <string>

#include "dialogs/common_dialogs.h"
#include "platform/posix_file_system.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"

namespace tabrook::dialogs {
namespace {

using tabrook::testing::ScriptedDialogs;
using tabrook::testing::TempDir;

// Every property a chooser could touch, to compare before and after.
struct Snapshot {
    std::uint32_t color;
    std::string fontName;
    std::int16_t fontSize;
    bool bold, italic, underline;
    std::string fileName, path;
    bool operator==(const Snapshot&) const = default;
};

class ChoosersTest : public ::testing::Test {
  protected:
    ChoosersTest() : dialog(scripted, fileSystem, appDir.Str()) {
        dialog.Init(&owner);
        dialog.SetColor(0x00336699);
        dialog.SetFontName("Arial");
        dialog.SetFontSize(10);
        dialog.SetFontUnderline(true);
        dialog.SetFileName("/data/Book1.xls");
        dialog.SetPath("/data");
    }

    Snapshot Take() const {
        return {dialog.Color(),      dialog.FontName(),      dialog.FontSize(), dialog.FontBold(),
                dialog.FontItalic(), dialog.FontUnderline(), dialog.FileName(), dialog.Path()};
    }

    TempDir appDir;
    QWidget owner;
    platform::PosixFileSystem fileSystem;
    ScriptedDialogs scripted;
    CCommonDialogs dialog;
};

TEST_F(ChoosersTest, ShowColorStartsOnColorAndKeepsOnlyAConfirmedChoice) {
    struct Case {
        bool fullOpen;
        std::optional<std::uint32_t> answer;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {false, 0x000000FF, 0x000000FF},
        {true, 0x00FF0000, 0x00FF0000},
        {true, std::nullopt, 0x00336699},
        {false, std::nullopt, 0x00336699},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fullOpen);
        dialog.SetColor(0x00336699);
        scripted.colorAnswers = {c.answer};
        scripted.colorRequests.clear();
        Snapshot expected = Take();
        expected.color = c.expected;

        EXPECT_EQ(dialog.ShowColor(c.fullOpen), c.answer.has_value());
        ASSERT_EQ(scripted.colorRequests.size(), 1u);
        EXPECT_EQ(scripted.colorRequests[0].first, 0x00336699u);
        EXPECT_EQ(scripted.colorRequests[0].second, c.fullOpen);
        EXPECT_EQ(Take(), expected);
    }
    EXPECT_EQ(scripted.owners.back(), &owner);
}

TEST_F(ChoosersTest, ShowFontAsksForTheCharacterHeightRoundedLikeMulDiv) {
    struct Case {
        std::int16_t points;
        int dpi;
        int height;
    };
    const Case cases[] = {
        {10, 96, -13},   // 13.33
        {8, 96, -11},    // 10.67
        {12, 96, -16},   // exact
        {3, 108, -5},    // 4.5: halves go away from zero
        {-3, 108, 5},    // a negative size asks for the cell height
        {10, 120, -17},  // 16.67
        {0, 96, 0},      // no size: the dialog's default
        {32767, 96, -43689},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.points) + " pt at " + std::to_string(c.dpi) + " dpi");
        dialog.SetFontSize(c.points);
        scripted.screenDpiY = c.dpi;
        scripted.fontRequests.clear();
        EXPECT_FALSE(dialog.ShowFont());
        ASSERT_EQ(scripted.fontRequests.size(), 1u);
        EXPECT_EQ(scripted.fontRequests[0].heightPixels, c.height);
    }
}

TEST_F(ChoosersTest, ShowFontPassesTheStyleAndCutsTheFaceNameAt31Characters) {
    struct Case {
        std::string name;
        std::string passed;
    };
    const std::string name31 = "Thirty One Characters Long Face";
    ASSERT_EQ(name31.size(), 31u);
    const Case cases[] = {
        {"", ""},
        {"Arial", "Arial"},
        {name31, name31},
        {name31 + "X and more", name31},
        // 30 ASCII characters and a two-byte one make 31 characters: kept whole.
        {std::string(30, 'a') + "\xC3\xA9" + "b", std::string(30, 'a') + "\xC3\xA9"},
    };
    dialog.SetFontBold(true);
    dialog.SetFontItalic(false);
    dialog.SetFontUnderline(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialog.SetFontName(c.name);
        scripted.fontRequests.clear();
        dialog.ShowFont();
        ASSERT_EQ(scripted.fontRequests.size(), 1u);
        const platform::FontRequest& request = scripted.fontRequests[0];
        EXPECT_EQ(request.faceName, c.passed);
        EXPECT_TRUE(request.bold);
        EXPECT_FALSE(request.italic);
        EXPECT_TRUE(request.underline);
        EXPECT_EQ(dialog.FontName(), c.name) << "a cancel changed FontName";
    }
}

TEST_F(ChoosersTest, ShowFontKeepsWholePointsAndLeavesUnderlineAndColor) {
    struct Case {
        int tenths;
        std::int16_t points;
    };
    const Case cases[] = {{115, 11}, {100, 10}, {119, 11}, {5, 0}, {10000000, 32767}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tenths);
        dialog.SetFontBold(false);
        dialog.SetFontItalic(true);
        scripted.fontAnswers = {platform::FontResult{"DejaVu Serif", c.tenths, true, false}};
        Snapshot expected = Take();
        expected.fontName = "DejaVu Serif";
        expected.fontSize = c.points;
        expected.bold = true;
        expected.italic = false;

        EXPECT_TRUE(dialog.ShowFont());
        EXPECT_EQ(Take(), expected);
    }
}

TEST_F(ChoosersTest, CancelledFontAndConfirmedPrinterChangeNoProperty) {
    const Snapshot before = Take();
    EXPECT_FALSE(dialog.ShowFont());
    EXPECT_EQ(Take(), before);

    scripted.printAnswers = {true, false};
    EXPECT_TRUE(dialog.ShowPrinter());
    EXPECT_FALSE(dialog.ShowPrinter());
    EXPECT_EQ(Take(), before);
    EXPECT_EQ(scripted.owners.back(), &owner);
}

TEST_F(ChoosersTest, ShowPrinterPropertiesNeedsADefaultPrinter) {
    EXPECT_FALSE(dialog.ShowPrinterProperties());
    EXPECT_TRUE(scripted.printerPropertiesRequests.empty()) << "asked without a printer";

    scripted.defaultPrinter = "Office_Laser";
    scripted.printerPropertiesAnswers = {true, false};
    EXPECT_TRUE(dialog.ShowPrinterProperties());
    EXPECT_FALSE(dialog.ShowPrinterProperties());
    ASSERT_EQ(scripted.printerPropertiesRequests.size(), 2u);
    EXPECT_EQ(scripted.printerPropertiesRequests[0], "Office_Laser");
    EXPECT_EQ(scripted.owners.back(), &owner);
}

}  // namespace
}  // namespace tabrook::dialogs
