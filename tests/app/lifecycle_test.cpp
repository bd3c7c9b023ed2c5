#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTest>

#include "app/form1.h"
#include "support/form_fixture.h"

namespace tabrook::app {
namespace {

using tabrook::testing::FormFixture;
using ::testing::ElementsAre;

std::vector<std::pair<std::string, int>> Rows(platform::ListView& list) {
    std::vector<std::pair<std::string, int>> rows;
    for (int i = 1; i <= list.Count(); ++i) {
        rows.emplace_back(list.Item(i).Text(), list.Item(i).SmallIcon());
    }
    return rows;
}

std::vector<std::string> Entries(const platform::ComboBox& combo) {
    std::vector<std::string> entries;
    for (int i = 0; i < combo.ListCount(); ++i) {
        entries.push_back(combo.List(i));
    }
    return entries;
}

TEST(StartUp, RestoresEntriesWithProbedIconsAndFoldersAndFormats) {
    FormFixture fixture;
    const std::string book = fixture.work.Write("Book.xls", "x").string();
    const std::string folder = fixture.work.MakeDir("folder").string();
    const std::string gone = fixture.work.Str() + "/deleted";
    fixture.WriteStateFile("EXCEL.txt", {book, folder, gone, "", book});
    fixture.WriteStateFile("output.txt", {"/out/a", "/out/missing", "/out/a"});

    Form1& form = fixture.Open();

    using Row = std::pair<std::string, int>;
    EXPECT_THAT(
        Rows(form.ListView1()),
        ElementsAre(Row{book, kImageWorkbook}, Row{folder, kImageFolder}, Row{gone, kImageMissing},
                    Row{"", kImageMissing}, Row{book, kImageWorkbook}));
    EXPECT_FALSE(form.ListView1().SelectedItem().has_value());
    EXPECT_EQ(form.ListView1().headerItem()->text(0).toStdString(),
              "Please Select the Excel File or Folder to Convert");
    EXPECT_EQ(form.ListView2().headerItem()->text(0).toStdString(), "Excel Files");
    EXPECT_EQ(form.ListView2().Count(), 0);

    EXPECT_THAT(Entries(form.Combo2()), ElementsAre("/out/a", "/out/missing", "/out/a"));
    EXPECT_EQ(form.Combo2().ListIndex(), 0);
    EXPECT_EQ(form.Combo2().Text(), "/out/a");

    EXPECT_THAT(Entries(form.Combo1()),
                ElementsAre("Excel Workbook without macro's (*.xlsx)",
                            "Excel Workbook with or without macro's (*.xlsm)",
                            "Excel Binary Workbook with or without macro's (*.xlsb)"));
    EXPECT_EQ(form.Combo1().ListIndex(), 0);
    EXPECT_EQ(form.ProgressBar1().value(), 0);
}

TEST(StartUp, EmptyOrMissingStateFilesGiveEmptyLists) {
    for (const bool filesPresent : {true, false}) {
        FormFixture fixture;
        if (filesPresent) {
            fixture.WriteStateFile("EXCEL.txt", {});
            fixture.WriteStateFile("output.txt", {});
            fixture.WriteStateFile("set.txt", {});
        }
        Form1& form = fixture.Open();
        EXPECT_EQ(form.ListView1().Count(), 0);
        EXPECT_EQ(form.Combo2().ListCount(), 0);
        EXPECT_EQ(form.Combo2().ListIndex(), -1);
        EXPECT_EQ(form.Combo1().ListIndex(), 0);
    }
}

TEST(StartUp, LoneLineFeedsEndLinesToo) {
    FormFixture fixture;
    fixture.appDir.Write("EXCEL.txt", "/a\n/b\n");
    EXPECT_EQ(fixture.Open().ListView1().Count(), 2);
}

struct ShutDownCase {
    const char* name;
    std::string settings;  // raw content of set.txt
    bool sourcesSaved;
    bool foldersSaved;
};

class ShutDown : public ::testing::TestWithParam<ShutDownCase> {};

TEST_P(ShutDown, SavesEachListOnlyWhenItsPreferenceIsExactlyOne) {
    const ShutDownCase& c = GetParam();
    FormFixture fixture;
    fixture.WriteStateFile("EXCEL.txt", {"/old/entry"});
    fixture.WriteStateFile("output.txt", {"/old/folder"});
    fixture.appDir.Write("set.txt", c.settings);
    Form1& form = fixture.Open();
    form.ListView1().Add("/new/entry");
    form.Combo2().AddItem("/new/folder", 0);
    fixture.Close();

    EXPECT_EQ(fixture.ReadStateFile("EXCEL.txt"),
              c.sourcesSaved ? "/old/entry\r\n/new/entry\r\n" : "/old/entry\r\n");
    EXPECT_EQ(fixture.ReadStateFile("output.txt"),
              c.foldersSaved ? "/new/folder\r\n/old/folder\r\n" : "/old/folder\r\n");
}

INSTANTIATE_TEST_SUITE_P(Preferences, ShutDown,
                         ::testing::Values(ShutDownCase{"both", "1\r\n1\r\n", true, true},
                                           ShutDownCase{"sources only", "1\r\n0\r\n", true, false},
                                           ShutDownCase{"folders only", "0\r\n1\r\n", false, true},
                                           ShutDownCase{"empty file", "", false, false}),
                         [](const auto& param) {
                             std::string name = param.param.name;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

TEST(ShutDownLimits, SavesAtMost201FoldersAndEmptyListsAsEmptyFiles) {
    FormFixture fixture;
    fixture.WriteStateFile("set.txt", {"1", "1"});
    std::vector<std::string> folders;
    for (int i = 0; i < 250; ++i) {
        folders.push_back("/out/" + std::to_string(i));
    }
    fixture.WriteStateFile("output.txt", folders);
    fixture.WriteStateFile("EXCEL.txt", {"/x"});
    fixture.Open().ListView1().Clear();
    fixture.Close();
    EXPECT_EQ(fixture.ReadStateFile("EXCEL.txt"), "");
    const std::string saved = fixture.ReadStateFile("output.txt");
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 201);
    // The next start shows entries 0 to 200.
    Form1& again = fixture.Open();
    EXPECT_EQ(again.Combo2().ListCount(), 201);
    EXPECT_EQ(again.Combo2().List(200), "/out/200");
}

TEST(ShutDownPaths, MissingAndUndecodableEntriesAreWrittenBackUnchanged) {
    FormFixture fixture;
    fixture.WriteStateFile("set.txt", {"1", "0"});
    fixture.WriteStateFile("EXCEL.txt", {"/gone/away", "", "/gone/\xff\xc3(", "/gone/away"});
    fixture.Open();
    fixture.Close();
    EXPECT_EQ(fixture.ReadStateFile("EXCEL.txt"),
              "/gone/away\r\n\r\n/gone/\xff\xc3(\r\n/gone/away\r\n");
}

TEST(ShutDownPaths, AListThatCannotBeSavedIsReportedAndTheOtherStillSaved) {
    FormFixture fixture;
    fixture.WriteStateFile("set.txt", {"1", "1"});
    fixture.appDir.MakeDir("EXCEL.txt");  // a folder in the way: the list cannot be written
    fixture.Open().Combo2().AddItem("/kept", 0);
    ::testing::internal::CaptureStderr();
    fixture.Close();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("could not save its list in '" + fixture.appDir.Str() + "/EXCEL.txt'"),
              std::string::npos)
        << said;
    EXPECT_EQ(fixture.ReadStateFile("output.txt"), "/kept\r\n");
}

TEST(ShutDownPaths, ExitButtonSavesExactlyAsTheCloseBox) {
    std::string saved[2];
    for (int way = 0; way < 2; ++way) {
        FormFixture fixture;
        fixture.WriteStateFile("set.txt", {"1", "1"});
        Form1& form = fixture.Open();
        form.show();
        form.ListView1().Add("/entry");
        form.Combo2().AddItem("/folder");
        if (way == 0) {
            QTest::mouseClick(form.findChild<QToolButton*>("Command9"), Qt::LeftButton);
        } else {
            fixture.Close();
        }
        EXPECT_FALSE(form.isVisible());
        saved[way] = fixture.ReadStateFile("EXCEL.txt") + "|" + fixture.ReadStateFile("output.txt");
    }
    EXPECT_EQ(saved[0], saved[1]);
    EXPECT_EQ(saved[0], "/entry\r\n|/folder\r\n");
}

}  // namespace
}  // namespace tabrook::app
