#include "dialogs/common_dialogs.h"

#include <gtest/gtest.h>

#include "platform/posix_file_system.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"

namespace tabrook::dialogs {
namespace {

using std::string_literals::operator""s;

struct CommonDialogsTest : ::testing::Test {
    testing::TempDir appDir, work;
    platform::PosixFileSystem fileSystem;
    testing::ScriptedDialogs scripted;
    CCommonDialogs dialog{scripted, fileSystem, appDir.Str()};
};

TEST_F(CommonDialogsTest, ShowOpenAndShowFolderAskAndSplitTheChoice) {
    dialog.SetTitle("Select Excel File\0junk"s);
    dialog.SetFilter("Text|*.txt");  // not consulted
    dialog.SetFileName("/data/start.xls\0junk"s);
    EXPECT_FALSE(dialog.ShowOpen());  // cancelled: nothing changes
    EXPECT_EQ(dialog.FileName() + "|" + dialog.Filter(), "/data/start.xls|Text|*.txt");
    const platform::FileDialogRequest& request = scripted.openRequests.at(0);
    EXPECT_EQ(request.title + "|" + request.initialName, "Select Excel File|/data/start.xls");
    ASSERT_EQ(request.filters.size(), 1u);
    EXPECT_EQ(request.filters[0].description + request.filters[0].pattern,
              "Excel Files(*.xls;*.xlsx;*.xlsm;*.xlsb)*.xl*");
    // A file directly in the root is held by "/", not by an empty folder text.
    for (const auto& [chosen, parts] :
         {std::pair{"/in/B.xls", "B.xls|/in"}, {"/B.xls", "B.xls|/"}}) {
        scripted.openAnswers.push_back(chosen);
        ASSERT_TRUE(dialog.ShowOpen());
        EXPECT_EQ(dialog.FileName(), chosen);
        EXPECT_EQ(dialog.FileTitle() + "|" + dialog.Path(), parts);
    }
    // A confirmed folder clears the file; the root keeps its separator.
    scripted.folderAnswers.push_back("/");
    ASSERT_TRUE(dialog.ShowFolder());
    EXPECT_EQ(dialog.Path() + "|" + dialog.FileName() + dialog.FileTitle(), "/|");

    dialog.SetFileName(std::string(261, 'a'));
    EXPECT_THROW(dialog.ShowOpen(), InvalidArgumentError);
    EXPECT_EQ(scripted.openRequests.size(), 3u);  // refused before any dialog
}

TEST_F(CommonDialogsTest, ShowSaveSettlesItsFolderEvenWhenCancelledAndOffersTheFilterPairs) {
    const std::string folder = work.MakeDir("existing").string(), app = appDir.Str();
    const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
        {"  ", app, "  ", "*.*=*.*;"},
        {folder, folder + "/", "Books|*.xlsx;*.xlsm|All| *.*", "Books=*.xlsx;*.xlsm;All= *.*;"},
        {work.Str() + "/missing", app, "", "*.*=*.*;"}};
    for (const auto& [path, settled, filter, offered] : cases) {
        dialog.SetPath(path);
        dialog.SetFilter(filter);
        EXPECT_FALSE(dialog.ShowSave());
        EXPECT_EQ(dialog.Path(), settled);
        const platform::FileDialogRequest& request = scripted.saveRequests.back();
        std::string filters;
        for (const platform::FileFilter& f : request.filters) {
            filters += f.description + "=" + f.pattern + ";";
        }
        EXPECT_EQ(filters + request.title + std::to_string(request.selectedFilter),
                  offered + "Save0");
        EXPECT_EQ(request.initialFolder, settled);
    }
    const std::string longName = "/d/" + std::string(300, 'n');  // taken whole, not cut at 255
    scripted.saveAnswers.push_back(longName);
    ASSERT_TRUE(dialog.ShowSave());
    EXPECT_EQ(dialog.FileName() + "|" + dialog.Path(), longName + "|/d");
}

}  // namespace
}  // namespace tabrook::dialogs
