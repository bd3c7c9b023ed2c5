// The program as a person uses it: buttons and rows clicked on the real window, only the
// dialogs answered by script, the real LibreOffice-backed server, the results read back by
// an independent reader (openpyxl).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "calcserver/calc_fixtures.h"
#include "calcserver/server/register_calc_server.h"
#include "support/form_fixture.h"
#include "support/prerequisites.h"

namespace tabrook::convert {
namespace {

namespace fs = std::filesystem;
using ::testing::UnorderedElementsAre;

// The fixture's window with the real server in place of the scripted one.
struct RealServerWindow {
    RealServerWindow() {
        calcserver::RegisterCalcServer(fixture.automation);
        form.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    void Click(const char* name) {
        QTest::mouseClick(form.findChild<QAbstractButton*>(QString::fromLatin1(name)),
                          Qt::LeftButton);
    }
    // A click on the row, or on its check box.
    void ClickRow(platform::ListView& view, int row, bool checkBox = false) {
        QStyleOptionViewItem option;
        option.initFrom(view.viewport());
        option.rect = view.visualItemRect(view.topLevelItem(row - 1));
        option.features = QStyleOptionViewItem::HasCheckIndicator;
        const QRect box =
            view.style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &view);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                          checkBox ? box.center() : option.rect.center());
    }
    void Convert(int formatIndex) {  // the format picked with the arrow keys
        while (form.Combo1().ListIndex() != formatIndex) {
            QTest::keyClick(&form.Combo1(),
                            form.Combo1().ListIndex() < formatIndex ? Qt::Key_Down : Qt::Key_Up);
        }
        Click("Command6");
        offices = testing::OfficeChildren();
    }
    // The driver's failure reports, which carry the critical icon.
    std::vector<std::string> Failures() const {
        std::vector<std::string> texts;
        for (const auto& [text, icon] : fixture.messageBoxes.shown) {
            if (icon == platform::MessageIcon::Critical) {
                texts.push_back(text);
            }
        }
        return texts;
    }
    // Closing the window and its server leaves no office process behind.
    ~RealServerWindow() {
        EXPECT_EQ(form.ProgressBar1().value(), 0);
        EXPECT_EQ(form.CurrentMousePointer(), app::MousePointer::Default);
        owned.reset();
        for (const pid_t pid : offices) {
            EXPECT_TRUE(testing::AwaitGone(pid, 30)) << "soffice.bin " << pid << " is left";
        }
        EXPECT_TRUE(testing::OfficeChildren().empty());
    }

    std::unique_ptr<testing::FormFixture> owned = std::make_unique<testing::FormFixture>();
    testing::FormFixture& fixture = *owned;
    app::Form1& form = fixture.Open();
    std::vector<pid_t> offices;
};

std::vector<std::string> NamesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

std::string Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(EndToEnd, AFolderOfWorkbooksConvertedByClicksIntoEachFormat) {
    testing::TempDir work;
    const fs::path sample = testing::SampleWorkbook(), in = work.MakeDir("in"),
                   out = work.MakeDir("out");
    for (const char* name : {"Alpha.xls", "Beta.xls", "Skip.xls"}) {
        fs::copy_file(sample, in / name);
    }
    work.Write("in/Broken.xls", "These bytes are no workbook at all.\n");
    RealServerWindow window;
    window.fixture.dialogs.folderAnswers = {in.string(), out.string()};
    window.Click("Command5");  // Add Folder
    window.ClickRow(window.form.ListView1(), 1);
    ASSERT_EQ(window.form.ListView2().Item(4).Text(), "Skip.xls");
    window.ClickRow(window.form.ListView2(), 4, true);
    ASSERT_FALSE(window.form.ListView2().Item(4).Checked());
    window.Click("Command10");  // Browse

    window.Convert(0);
    const std::string firstAlpha = Bytes(out / "Alpha.xlsx");
    window.Convert(1);
    window.Convert(0);  // the same again: new names, nothing written over

    EXPECT_THAT(NamesIn(out), UnorderedElementsAre("Alpha.xlsx", "Beta.xlsx", "Alpha.xlsm",
                                                   "Beta.xlsm", "Alpha1.xlsx", "Beta1.xlsx"));
    EXPECT_EQ(Bytes(out / "Alpha.xlsx"), firstAlpha);
    for (const std::string& name : NamesIn(out)) {
        const auto cells = testing::ReadBack(out / name);
        EXPECT_EQ(cells.at("#sheets") + " " + cells.at("Prices!B1") + " " + cells.at("Prices!C1") +
                      " " + cells.at("Prices!C1#value") + " " + cells.at("Notes!A1"),
                  "Prices,Notes 2.5 =B1*4 10 Grüße")
            << name;
    }
    EXPECT_EQ(window.Failures(), std::vector<std::string>(3, "Convert Broken file failed!"));
    EXPECT_EQ(window.fixture.messageBoxes.shown.size(), 6u);  // each after the server's own
    EXPECT_EQ(window.fixture.shell.calls.size(), 3u);
    EXPECT_EQ(Bytes(in / "Alpha.xls"), Bytes(sample));
}

TEST(EndToEnd, TheSharedCorpusConvertedByClicks) {
    const fs::path corpus = testing::CorpusDir();
    if (corpus.empty()) {
        TABROOK_SKIP_UNLESS_CI() << "the shared corpus of real-world workbooks is not here";
    }
    testing::TempDir work;
    const fs::path out = work.MakeDir("out"),
                   script = work.Write("opens.py", R"(import os, sys, openpyxl
for name in os.listdir(sys.argv[1]):
    try: openpyxl.load_workbook(os.path.join(sys.argv[1], name), read_only=True).close()
    except Exception as error: print(name, type(error).__name__, error))");
    RealServerWindow window;
    window.fixture.dialogs.folderAnswers = {corpus.string(), out.string()};
    window.Click("Command5");
    window.Click("Command10");
    const int rows = window.form.ListView2().Count();
    window.Convert(0);

    const std::vector<std::string> failures = window.Failures();
    std::cout << "corpus: " << rows << " workbooks, " << NamesIn(out).size() << " converted, "
              << failures.size() << " failed\n";
    for (const testing::ShownMessage& shown : window.fixture.messageBoxes.shown) {
        std::cout << "  message: " << shown.text << "\n";
    }
    // Every workbook either landed in the folder, whole enough to open, or was reported.
    EXPECT_EQ(NamesIn(out).size() + failures.size(), static_cast<std::size_t>(rows));
    EXPECT_EQ(std::system(("/usr/bin/python3 '" + script.string() + "' '" + out.string() +
                           "' | grep . && exit 1 || exit 0")
                              .c_str()),
              0);
}

}  // namespace
}  // namespace tabrook::convert
