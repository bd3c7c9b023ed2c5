#include "dialogs/common_dialogs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QWidget>

#include "platform/posix_file_system.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"

namespace tabrook::dialogs {
namespace {

using std::string_literals::operator""s;
using tabrook::testing::ScriptedDialogs;
using tabrook::testing::TempDir;
using ::testing::ElementsAre;
using ::testing::Field;

class CommonDialogsTest : public ::testing::Test {
  protected:
    CommonDialogsTest() : dialog(scripted, fileSystem, appDir.Str()) { dialog.Init(&owner); }

    TempDir appDir;
    TempDir work;
    QWidget owner;
    platform::PosixFileSystem fileSystem;
    ScriptedDialogs scripted;
    CCommonDialogs dialog;
};

struct TextProperty {
    const char* name;
    void (CCommonDialogs::*set)(std::string);
    std::string (CCommonDialogs::*get)() const;
    bool cutAtNul;
};

TEST_F(CommonDialogsTest, TextGettersCutAtTheFirstNulOnlyWhereTheyShould) {
    const TextProperty properties[] = {
        {"FileTitle", &CCommonDialogs::SetFileTitle, &CCommonDialogs::FileTitle, true},
        {"Path", &CCommonDialogs::SetPath, &CCommonDialogs::Path, true},
        {"FileName", &CCommonDialogs::SetFileName, &CCommonDialogs::FileName, true},
        {"Title", &CCommonDialogs::SetTitle, &CCommonDialogs::Title, true},
        {"Filter", &CCommonDialogs::SetFilter, &CCommonDialogs::Filter, false},
        {"DefExt", &CCommonDialogs::SetDefExt, &CCommonDialogs::DefExt, false},
        {"FontName", &CCommonDialogs::SetFontName, &CCommonDialogs::FontName, false},
    };
    const std::string buffer = "Book.xls\0\0 rest of a buffer"s;
    for (const TextProperty& property : properties) {
        (dialog.*property.set)(buffer);
        EXPECT_EQ((dialog.*property.get)(), property.cutAtNul ? "Book.xls" : buffer)
            << property.name;
        (dialog.*property.set)("no terminator");
        EXPECT_EQ((dialog.*property.get)(), "no terminator") << property.name;
    }
}

TEST_F(CommonDialogsTest, ShowOpenAsksForOneWorkbookWhateverTheFilterSays) {
    dialog.SetTitle("Select Excel File");
    dialog.SetFilter("Text|*.txt");
    dialog.SetFileName("/data/start.xls\0junk"s);
    scripted.openAnswers.push_back(std::nullopt);

    EXPECT_FALSE(dialog.ShowOpen());

    ASSERT_EQ(scripted.openRequests.size(), 1u);
    const platform::FileDialogRequest& request = scripted.openRequests.front();
    EXPECT_EQ(request.title, "Select Excel File");
    EXPECT_THAT(request.filters,
                ElementsAre(AllOf(Field(&platform::FileFilter::description,
                                        "Excel Files(*.xls;*.xlsx;*.xlsm;*.xlsb)"),
                                  Field(&platform::FileFilter::pattern, "*.xl*"))));
    EXPECT_EQ(request.selectedFilter, 0);
    EXPECT_EQ(request.initialName, "/data/start.xls");
    EXPECT_THAT(scripted.owners, ElementsAre(&owner));
}

TEST_F(CommonDialogsTest, ShowOpenSplitsTheChosenFileIntoNameAndFolder) {
    struct Case {
        std::string chosen;
        std::string fileTitle;
        std::string path;
    };
    const Case cases[] = {
        {"/data/in/Budget 2009.xls", "Budget 2009.xls", "/data/in"},
        {"/data/in.d/book", "book", "/data/in.d"},
        // A file in the root is held by "/", not by an empty folder text.
        {"/Book.xls", "Book.xls", "/"},
    };
    for (const Case& c : cases) {
        scripted.openAnswers.push_back(c.chosen);
        ASSERT_TRUE(dialog.ShowOpen()) << c.chosen;
        EXPECT_EQ(dialog.FileName(), c.chosen);
        EXPECT_EQ(dialog.FileTitle(), c.fileTitle);
        EXPECT_EQ(dialog.Path(), c.path);
    }
}

TEST_F(CommonDialogsTest, ShowOpenRefusesAnOverLongFileNameBeforeAnyDialog) {
    dialog.SetFileName(std::string(261, 'a'));
    EXPECT_THROW(dialog.ShowOpen(), InvalidArgumentError);
    EXPECT_TRUE(scripted.openRequests.empty());

    // The limit counts characters, not bytes.
    std::string accented;
    for (int i = 0; i < 260; ++i) {
        accented += "\xC3\xA9";
    }
    dialog.SetFileName(accented);
    EXPECT_FALSE(dialog.ShowOpen());
    EXPECT_EQ(scripted.openRequests.size(), 1u);
}

TEST_F(CommonDialogsTest, ACancelledDialogChangesNoProperty) {
    for (bool (CCommonDialogs::*show)() :
         {&CCommonDialogs::ShowOpen, &CCommonDialogs::ShowFolder}) {
        dialog.SetFileName("/kept/name.xls");
        dialog.SetFileTitle("name.xls");
        dialog.SetPath("/kept");
        EXPECT_FALSE((dialog.*show)());
        EXPECT_EQ(dialog.FileName(), "/kept/name.xls");
        EXPECT_EQ(dialog.FileTitle(), "name.xls");
        EXPECT_EQ(dialog.Path(), "/kept");
    }
}

TEST_F(CommonDialogsTest, ShowFolderGivesThePathAndClearsTheFileProperties) {
    struct Case {
        std::string chosen;
        std::string path;
    };
    const Case cases[] = {{"/data/out", "/data/out"}, {"/data/out/", "/data/out"}, {"/", "/"}};
    dialog.SetTitle("Output Folder");
    for (const Case& c : cases) {
        dialog.SetFileName("/x/y.xls");
        dialog.SetFileTitle("y.xls");
        scripted.folderAnswers.push_back(c.chosen);
        ASSERT_TRUE(dialog.ShowFolder());
        EXPECT_EQ(dialog.Path(), c.path);
        EXPECT_EQ(dialog.FileName(), "");
        EXPECT_EQ(dialog.FileTitle(), "");
    }
    EXPECT_THAT(scripted.folderTitles, ::testing::Each(std::string("Output Folder")));
}

TEST_F(CommonDialogsTest, ShowSaveSettlesItsStartingFolderEvenWhenCancelled) {
    const std::string existing = work.MakeDir("existing").string();
    const std::string file = work.Write("a file.txt").string();
    struct Case {
        std::string path;
        std::string settled;
    };
    const Case cases[] = {
        {"", appDir.Str()},
        {"   ", appDir.Str()},
        {existing, existing + "/"},
        {existing + "/", existing + "/"},
        {work.Str() + "/missing", appDir.Str()},
        {file, appDir.Str()},
        {"/", "/"},
    };
    for (const Case& c : cases) {
        dialog.SetPath(c.path);
        EXPECT_FALSE(dialog.ShowSave());
        EXPECT_EQ(dialog.Path(), c.settled) << "Path was '" << c.path << "'";
        EXPECT_EQ(scripted.saveRequests.back().initialFolder, c.settled);
    }
}

TEST_F(CommonDialogsTest, ShowSaveOffersTheFilterPairsInOrderTheFirstSelected) {
    using Filters = std::vector<std::pair<std::string, std::string>>;
    struct Case {
        std::string filter;
        Filters offered;
    };
    const Case cases[] = {
        {"", {{"*.*", "*.*"}}},
        {"  ", {{"*.*", "*.*"}}},
        {"Workbooks|*.xlsx;*.xlsm|All files|*.*",
         {{"Workbooks", "*.xlsx;*.xlsm"}, {"All files", "*.*"}}},
        // Pieces are taken as they stand, blanks included.
        {" Text | *.txt", {{" Text ", " *.txt"}}},
    };
    dialog.SetTitle("not used");
    dialog.SetDefExt("xlsx");
    for (const Case& c : cases) {
        dialog.SetFilter(c.filter);
        EXPECT_FALSE(dialog.ShowSave());
        const platform::FileDialogRequest& request = scripted.saveRequests.back();
        Filters offered;
        for (const platform::FileFilter& f : request.filters) {
            offered.emplace_back(f.description, f.pattern);
        }
        EXPECT_EQ(offered, c.offered) << "Filter was '" << c.filter << "'";
        EXPECT_EQ(request.selectedFilter, 0);
        EXPECT_EQ(request.title, "Save");
        EXPECT_EQ(request.defaultExtension, "");
        EXPECT_EQ(request.initialName, "");
    }
}

TEST_F(CommonDialogsTest, ShowSaveTakesTheChosenNameWhole) {
    const std::string longName = "/data/" + std::string(300, 'n') + ".xlsx";
    scripted.saveAnswers.push_back(longName);
    ASSERT_TRUE(dialog.ShowSave());
    EXPECT_EQ(dialog.FileName(), longName);
    EXPECT_EQ(dialog.FileTitle(), std::string(300, 'n') + ".xlsx");
    EXPECT_EQ(dialog.Path(), "/data");
}

TEST_F(CommonDialogsTest, ADialogWithoutInitOrWhoseOwnerHasGoneHasNoOwner) {
    CCommonDialogs fresh(scripted, fileSystem, appDir.Str());
    fresh.ShowFolder();
    {
        QWidget shortLived;
        fresh.Init(&shortLived);
    }
    fresh.ShowFolder();
    EXPECT_THAT(scripted.owners, ElementsAre(nullptr, nullptr));
}

}  // namespace
}  // namespace tabrook::dialogs
