#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <filesystem>

#include "output/output_folder_commands.h"
#include "support/form_fixture.h"

namespace tabrook::output {
namespace {

struct OutputFolderTest : ::testing::Test {
    void SetUp() override {
        fixture.work.MakeDir("out");
        fixture.Open();
    }
    // Remembered folders, one picked; or with `typed`, a text typed as the user types.
    platform::ComboBox& Combo2(std::vector<std::string> folders, int picked,
                               std::string typed = {}) {
        platform::ComboBox& combo = fixture.Form().Combo2();
        RemoveAllOutputFolders(fixture.Form());
        for (const std::string& folder : folders) {
            combo.AddItem(folder);
        }
        combo.SetListIndex(picked);
        if (picked < 0) {
            combo.lineEdit()->clear();
            QTest::keyClicks(combo.lineEdit(), QString::fromStdString(typed));
        }
        return combo;
    }
    testing::FormFixture fixture;
};

TEST_F(OutputFolderTest, RemoveCurrentSelectsTheEntryThatTakesItsPlace) {
    const std::tuple<int, std::string, int> cases[] = {
        {2, "/a /b ", 1}, {0, "/b /c ", 0}, {1, "/a /c ", 1}, {-1, "/a /b /c ", -1}};
    for (const auto& [picked, left, selected] : cases) {
        platform::ComboBox& combo = Combo2({"/a", "/b", "/c"}, picked, "/typed");
        RemoveOutputFolder(fixture.Form());
        std::string entries;
        for (int i = 0; i < combo.ListCount(); ++i) {
            entries += combo.List(i) + " ";
        }
        EXPECT_EQ(entries, left);
        EXPECT_EQ(combo.ListIndex(), selected);
    }
}

TEST_F(OutputFolderTest, PrepareCreatesATypedFolderOneLevelDeepAndNeverARememberedOne) {
    const std::string work = fixture.work.Str();
    // text, picked from the list, then OutputDir or the message shown.
    const std::tuple<std::string, bool, std::string> cases[] = {
        {work + "/out//", true, work + "/out/"},
        {work + "/out/new//", false, work + "/out/new/"},
        {work + "/no/such/new", false, "16 Failed to create folder!"},
        {work + "/out/new/", false, work + "/out/new/"},
        {work + "/gone", true, "16 Folder does not exist!"},
        {"", false, "64 Please select output folder"},
        {"/", false, "/"},
        {work + "/out/.", false, work + "/out/"},  // "." names the folder itself
        {work + "/out/./.", true, work + "/out/"},
        {work + "/out/made/.", false, work + "/out/made/"},
        {work + "/no/such/.", false, "16 Failed to create folder!"},
        {work + "/out/..", false, work + "/out/../"},
        {"relative//", false, work + "/relative/"}};  // spelled from the current folder
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(work);
    for (const auto& [text, remembered, result] : cases) {
        fixture.messageBoxes.shown.clear();
        remembered ? Combo2({text}, 0) : Combo2({}, -1, text);
        const bool ready = PrepareOutputFolder(fixture.Form());
        const auto& shown = fixture.messageBoxes.shown;
        EXPECT_EQ(ready
                      ? fixture.Form().Paths().OutputDir
                      : std::to_string(static_cast<int>(shown.at(0).icon)) + " " + shown.at(0).text,
                  result);
        EXPECT_EQ(ready, fixture.messageBoxes.shown.empty());
    }
    std::filesystem::current_path(before);
    EXPECT_TRUE(std::filesystem::is_directory(work + "/out/new"));
    EXPECT_TRUE(std::filesystem::is_directory(work + "/out/made"));
    EXPECT_FALSE(std::filesystem::exists(work + "/no"));
    EXPECT_FALSE(std::filesystem::exists(work + "/gone"));
}

TEST_F(OutputFolderTest, BrowseRefusesAFolderThatWouldSplitInTheStateFile) {
    const std::string folder = fixture.work.MakeDir("a\nb").string();
    fixture.dialogs.folderAnswers = {folder};
    platform::ComboBox& combo = Combo2({"/kept"}, 0);
    BrowseOutputFolder(fixture.Form());
    EXPECT_EQ(combo.ListCount(), 1);
    EXPECT_EQ(combo.Text(), "/kept");
    ASSERT_EQ(fixture.messageBoxes.shown.size(), 1U);
    EXPECT_EQ(fixture.messageBoxes.shown[0].icon, platform::MessageIcon::Critical);
}

TEST_F(OutputFolderTest, ViewOpensWhatTheTextNamesAsAnAbsoluteFolder) {
    const std::string work = fixture.work.Str();
    fixture.work.Write("file.xls");
    // text, then the folder handed to the shell ("" when nothing is opened).
    const std::pair<std::string, std::string> cases[] = {
        {"out", work + "/out/"},  // spelled from the current folder, as a run would
        {"./out/.", work + "/out/"},
        {work + "/out//", work + "/out/"},
        {"", "/"},
        {"missing", ""},
        {"file.xls", ""}};
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(work);
    for (const auto& [text, opened] : cases) {
        fixture.shell.calls.clear();
        Combo2({}, -1, text);
        ViewOutputFolder(fixture.Form());
        EXPECT_EQ(fixture.shell.calls.empty() ? "" : fixture.shell.calls.at(0).target, opened)
            << text;
    }
    std::filesystem::current_path(before);
    EXPECT_TRUE(fixture.messageBoxes.shown.empty());
}

}  // namespace
}  // namespace tabrook::output
