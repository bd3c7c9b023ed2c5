// The whole program as a person uses it: buttons and list rows clicked on the real window,
// only the file and folder dialogs answered by script, conversions done by the real
// LibreOffice-backed server, and the results read back by an independent reader.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "calcserver/calc_fixtures.h"
#include "calcserver/server/register_calc_server.h"
#include "support/form_fixture.h"

namespace tabrook::convert {
namespace {

namespace fs = std::filesystem;
using platform::MessageIcon;
using tabrook::testing::FormFixture;
using tabrook::testing::ShownMessage;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

// Opens every file of a folder with openpyxl: "name<TAB>ok<TAB>sheet count" or
// "name<TAB>error<TAB>reason", one line each.
constexpr const char* kFolderReadBack = R"(import os, sys, openpyxl
folder = sys.argv[1]
for name in sorted(os.listdir(folder)):
    try:
        book = openpyxl.load_workbook(os.path.join(folder, name), read_only=True)
        print(name + "\tok\t" + str(len(book.sheetnames)))
        book.close()
    except Exception as error:
        print(name + "\terror\t" + type(error).__name__ + ": " + str(error).replace("\n", " "))
)";

// The window of FormFixture with the real server in place of the scripted one.
class RealServerForm {
  public:
    RealServerForm() {
        calcserver::RegisterCalcServer(fixture.automation);
        form = &fixture.Open();
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form));
    }

    void Click(const char* buttonName) {
        auto* button = form->findChild<QAbstractButton*>(QString::fromLatin1(buttonName));
        ASSERT_NE(button, nullptr) << buttonName;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    void ClickRow(platform::ListView& view, int row) {
        const QRect rect = view.visualItemRect(view.topLevelItem(row - 1));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, rect.center());
    }
    void ClickCheckBox(platform::ListView& view, int row) {
        QTreeWidgetItem* item = view.topLevelItem(row - 1);
        QStyleOptionViewItem option;
        option.initFrom(view.viewport());
        option.rect = view.visualItemRect(item);
        option.features =
            QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
        option.text = item->text(0);
        const QRect box =
            view.style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &view);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, box.center());
    }
    // Steps the format choice with the arrow keys, as from the keyboard.
    void ChooseFormat(int listIndex) {
        platform::ComboBox& formats = form->Combo1();
        while (formats.ListIndex() < listIndex) {
            QTest::keyClick(&formats, Qt::Key_Down);
        }
        while (formats.ListIndex() > listIndex) {
            QTest::keyClick(&formats, Qt::Key_Up);
        }
    }
    std::vector<std::string> Messages(MessageIcon icon) const {
        std::vector<std::string> texts;
        for (const ShownMessage& shown : fixture.messageBoxes.shown) {
            if (shown.icon == icon) {
                texts.push_back(shown.text);
            }
        }
        return texts;
    }

    FormFixture fixture;
    app::Form1* form = nullptr;
};

std::set<std::string> NamesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

std::string Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// name → "ok <sheet count>" or "error <reason>", from the independent reader.
std::map<std::string, std::string> ReadFolderBack(const fs::path& folder) {
    tabrook::testing::TempDir scratch;
    const fs::path script = scratch.Write("read_folder.py", kFolderReadBack);
    const std::string command =
        "/usr/bin/python3 '" + script.string() + "' '" + folder.string() + "' 2>&1";
    std::map<std::string, std::string> results;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return results;
    }
    std::string output;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, got);
    }
    ::pclose(pipe);
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const auto first = line.find('\t');
        const auto second = line.find('\t', first + 1);
        if (first == std::string::npos || second == std::string::npos) {
            continue;
        }
        results[line.substr(0, first)] =
            line.substr(first + 1, second - first - 1) + " " + line.substr(second + 1);
    }
    return results;
}

// The sample's cells, as the reader sees them in every converted copy.
void ExpectSampleCells(const fs::path& converted) {
    const auto cells = tabrook::testing::ReadBack(converted);
    EXPECT_EQ(cells.at("#sheets"), "Prices,Notes") << converted;
    EXPECT_EQ(cells.at("Prices!A1"), "Item") << converted;
    EXPECT_EQ(cells.at("Prices!B1"), "2.5") << converted;
    EXPECT_EQ(cells.at("Prices!C1"), "=B1*4") << converted;
    EXPECT_EQ(cells.at("Prices!C1#value"), "10") << converted;
    EXPECT_EQ(cells.at("Notes!A1"), "Grüße") << converted;
}

void ExpectNoOfficeLeft(const std::vector<pid_t>& seen) {
    for (const pid_t pid : seen) {
        EXPECT_TRUE(tabrook::testing::AwaitGone(pid, 30)) << "soffice.bin " << pid << " is left";
    }
    EXPECT_THAT(tabrook::testing::OfficeChildren(), IsEmpty());
}

TEST(EndToEnd, AFolderOfWorkbooksConvertedByClicksIntoEachFormat) {
    tabrook::testing::TempDir work;
    const fs::path sample = tabrook::testing::SampleWorkbook();
    const fs::path in = work.MakeDir("in");
    const fs::path out = work.MakeDir("out");
    for (const char* name : {"Alpha.xls", "Beta.xls", "Skip.xls"}) {
        fs::copy_file(sample, in / name);
    }
    work.Write("in/Broken.xls", "These bytes are no workbook at all.\n");
    std::vector<pid_t> offices;
    {
        RealServerForm window;
        app::Form1& form = *window.form;
        window.fixture.dialogs.folderAnswers = {in.string(), out.string()};

        window.Click("Command5");  // Add Folder
        window.ClickRow(form.ListView1(), 1);
        ASSERT_EQ(form.ListView2().Count(), 4);
        ASSERT_EQ(form.ListView2().Item(4).Text(), "Skip.xls");
        window.ClickCheckBox(form.ListView2(), 4);
        ASSERT_FALSE(form.ListView2().Item(4).Checked());
        window.Click("Command10");  // Browse
        ASSERT_EQ(form.Combo2().Text(), out.string());

        window.ChooseFormat(0);
        window.Click("Command6");  // Convert
        offices = tabrook::testing::OfficeChildren();

        EXPECT_THAT(NamesIn(out), UnorderedElementsAre("Alpha.xlsx", "Beta.xlsx"));
        EXPECT_THAT(window.Messages(MessageIcon::Critical),
                    ElementsAre("Convert Broken file failed!"));
        EXPECT_EQ(window.Messages(MessageIcon::None).size(), 1u)
            << "the server's own description of the broken file";
        EXPECT_EQ(window.fixture.shell.calls.size(), 1u);

        window.ChooseFormat(1);
        window.Click("Command6");
        // The same format again into the same folder: new names, nothing written over.
        const std::string firstAlpha = Bytes(out / "Alpha.xlsx");
        window.ChooseFormat(0);
        window.Click("Command6");

        EXPECT_THAT(NamesIn(out), UnorderedElementsAre("Alpha.xlsx", "Beta.xlsx", "Alpha.xlsm",
                                                       "Beta.xlsm", "Alpha1.xlsx", "Beta1.xlsx"));
        EXPECT_EQ(Bytes(out / "Alpha.xlsx"), firstAlpha);
        for (const std::string& name : NamesIn(out)) {
            ExpectSampleCells(out / name);
        }
        EXPECT_THAT(window.Messages(MessageIcon::Critical),
                    ElementsAre("Convert Broken file failed!", "Convert Broken file failed!",
                                "Convert Broken file failed!"));
        EXPECT_EQ(form.ProgressBar1().value(), 0);
        EXPECT_EQ(form.MousePointer(), app::kPointerDefault);
        // The sources are untouched.
        EXPECT_EQ(Bytes(in / "Alpha.xls"), Bytes(sample));
        EXPECT_THAT(NamesIn(in),
                    UnorderedElementsAre("Alpha.xls", "Beta.xls", "Skip.xls", "Broken.xls"));
    }
    ExpectNoOfficeLeft(offices);
}

TEST(EndToEnd, TheSharedCorpusConvertedByClicks) {
    const fs::path corpus = tabrook::testing::CorpusDir();
    if (corpus.empty()) {
        GTEST_SKIP() << "the shared corpus of real-world workbooks is not here";
    }
    tabrook::testing::TempDir work;
    const fs::path out = work.MakeDir("out");
    std::vector<pid_t> offices;
    {
        RealServerForm window;
        app::Form1& form = *window.form;
        window.fixture.dialogs.folderAnswers = {corpus.string(), out.string()};
        window.Click("Command5");
        window.Click("Command10");
        window.ChooseFormat(0);
        const int rows = form.ListView2().Count();
        ASSERT_GT(rows, 0);

        window.Click("Command6");
        offices = tabrook::testing::OfficeChildren();

        const std::vector<std::string> failed = window.Messages(MessageIcon::Critical);
        const std::map<std::string, std::string> readBack = ReadFolderBack(out);
        int unreadable = 0;
        for (const auto& [name, result] : readBack) {
            if (result.rfind("ok", 0) != 0) {
                ++unreadable;
                std::cout << "unreadable output " << name << ": " << result << "\n";
            }
        }
        std::cout << "corpus: " << rows << " workbooks, " << readBack.size() << " converted, "
                  << failed.size() << " failed\n";
        for (const ShownMessage& shown : window.fixture.messageBoxes.shown) {
            std::cout << "  message (icon " << static_cast<int>(shown.icon) << "): " << shown.text
                      << "\n";
        }
        ::testing::Test::RecordProperty("converted", static_cast<int>(readBack.size()));
        ::testing::Test::RecordProperty("failed", static_cast<int>(failed.size()));

        // Every workbook either landed in the folder, readable, or was reported.
        EXPECT_EQ(static_cast<int>(readBack.size() + failed.size()), rows);
        EXPECT_EQ(unreadable, 0);
        EXPECT_EQ(form.ProgressBar1().value(), 0);
        EXPECT_EQ(form.MousePointer(), app::kPointerDefault);
    }
    ExpectNoOfficeLeft(offices);
}

}  // namespace
}  // namespace tabrook::convert
