#include "platform/windows_file_system.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/atomic_file.h"
#include "platform/probe_path.h"
#include "platform/windows_text.h"
#include "support/wine_test_support.h"

namespace tabrook::platform {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using wintest::ScratchFolder;

void SetAttributes(const std::string& path, DWORD attributes) {
    ASSERT_TRUE(::SetFileAttributesW(ToWide(path).c_str(), attributes)) << path;
}

// Workbooks and their lookalikes in a folder whose own name needs UTF-16.
class WindowsFileSystemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"b.xls", "A.XLS", "c.xlsx",
                                 "Gr\xC3\xB6\xC3\x9F"
                                 "e 1.xlsm",
                                 "e.xlsb", "f.xls.bak", "g.csv", "hidden.xls", "system.xls"}) {
            folder.Write(name, "x");
        }
        folder.Write("old.xls\\inside.xls", "x");
        SetAttributes(folder.Path("hidden.xls"), FILE_ATTRIBUTE_HIDDEN);
        SetAttributes(folder.Path("system.xls"), FILE_ATTRIBUTE_SYSTEM);
    }

    ScratchFolder folder;
    WindowsFileSystem fileSystem;
};

TEST_F(WindowsFileSystemTest, WorkbookSearchListsOrdinaryFilesByTheProgramsNameRule) {
    const SearchResult found = fileSystem.Search(folder.Path("*.xls"), SearchKinds::FilesOnly);
    EXPECT_FALSE(found.failed);
    EXPECT_THAT(found.names, UnorderedElementsAre("A.XLS", "b.xls", "c.xlsx",
                                                  "Gr\xC3\xB6\xC3\x9F"
                                                  "e 1.xlsm",
                                                  "e.xlsb"));
    // A trailing separator of either kind searches inside the folder, folders included.
    for (const std::string& inside :
         {folder.Path(), folder.Path().substr(0, folder.Path().size() - 1) + "/"}) {
        const SearchResult all = fileSystem.Search(inside, SearchKinds::FilesAndFolders);
        EXPECT_THAT(all.names, ::testing::Contains("old.xls")) << inside;
        EXPECT_THAT(all.names, ::testing::Not(::testing::Contains("hidden.xls")));
        EXPECT_THAT(all.names, ::testing::Not(::testing::Contains("system.xls")));
    }
    EXPECT_THAT(fileSystem.Search(folder.Path("*.xls"), SearchKinds::FilesOnly, 1).names.size(),
                1u);
}

TEST_F(WindowsFileSystemTest, ExactSearchGivesTheNameAsStoredAndHonoursKinds) {
    EXPECT_THAT(fileSystem.Search(folder.Path("B.XLS"), SearchKinds::FilesOnly).names,
                ElementsAre("b.xls"));
    EXPECT_THAT(fileSystem.Search(folder.Path("old.xls"), SearchKinds::FilesOnly).names, IsEmpty());
    EXPECT_THAT(fileSystem.Search(folder.Path("old.xls"), SearchKinds::FilesAndFolders).names,
                ElementsAre("old.xls"));
    EXPECT_THAT(fileSystem.Search(folder.Path("hidden.xls"), SearchKinds::FilesOnly).names,
                IsEmpty());
    EXPECT_TRUE(fileSystem.Search(folder.Path("missing\\*.xls"), SearchKinds::FilesOnly).failed);
    EXPECT_TRUE(fileSystem.Search("", SearchKinds::FilesOnly).failed);
}

TEST_F(WindowsFileSystemTest, ProbeSeesWhatTheSearchAndTheAttributesSay) {
    struct Case {
        std::string path;
        PathKind probe;
    };
    const std::string inside = folder.Path();
    const Case cases[] = {
        {inside.substr(0, inside.size() - 1), PathKind::Folder},
        {inside, PathKind::Folder},
        {folder.Path("old.xls"), PathKind::Folder},
        {folder.Path("b.xls"), PathKind::File},
        {folder.Path("Gr\xC3\xB6\xC3\x9F"
                     "e 1.xlsm"),
         PathKind::File},
        {folder.Path("hidden.xls"), PathKind::Missing},
        {folder.Path("system.xls"), PathKind::Missing},
        {folder.Path("missing.xls"), PathKind::Missing},
        {folder.Path("*.xls"), PathKind::Missing},
        {folder.Path("b.xls") + "\\", PathKind::Missing},
        {"", PathKind::Missing},
        {"\\", PathKind::Folder},  // the current drive's root
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProbePath(fileSystem, c.path), c.probe) << c.path;
    }
    EXPECT_TRUE(fileSystem.Exists(folder.Path("hidden.xls")));
    EXPECT_FALSE(fileSystem.Exists(folder.Path("missing.xls")));
}

TEST_F(WindowsFileSystemTest, MakesOneFolderLevelOnly) {
    EXPECT_TRUE(fileSystem.MakeFolder(folder.Path("Ausgabe \xC3\xA4")));
    EXPECT_EQ(ProbePath(fileSystem, folder.Path("Ausgabe \xC3\xA4")), PathKind::Folder);
    EXPECT_FALSE(fileSystem.MakeFolder(folder.Path("Ausgabe \xC3\xA4")));
    EXPECT_FALSE(fileSystem.MakeFolder(folder.Path("no\\such\\parent")));
}

TEST_F(WindowsFileSystemTest, StateFilesAreReplacedWholeAndLeaveNothingBeside) {
    const std::string path = folder.Path("state \xC3\xBC\\EXCEL.txt");
    folder.Write("state \xC3\xBC\\EXCEL.txt", "old\rlines\nstay\r\nuntil replaced");
    EXPECT_THAT(*fileSystem.ReadLines(path), ElementsAre("old", "lines", "stay", "until replaced"));

    ASSERT_TRUE(fileSystem.WriteLines(path, {"C:\\B\xC3\xBC"
                                             "cher",
                                             ""}));
    EXPECT_EQ(folder.Read("state \xC3\xBC\\EXCEL.txt"),
              "C:\\B\xC3\xBC"
              "cher\r\n\r\n");
    std::vector<std::wstring> beside;
    for (const auto& entry :
         std::filesystem::directory_iterator(wintest::FromUtf8(folder.Path("state \xC3\xBC")))) {
        beside.push_back(entry.path().filename().native());
    }
    EXPECT_THAT(beside, ElementsAre(L"EXCEL.txt"));

    // Where replacing is not allowed, a file already there stays as it is.
    EXPECT_NE(WriteFileAtomically(wintest::FromUtf8(path), "other", Placement::kNeverReplace), "");
    EXPECT_THAT(*fileSystem.ReadLines(path), ElementsAre("C:\\B\xC3\xBC"
                                                         "cher",
                                                         ""));

    // A write that cannot take its name (a folder stands there) leaves no temporary behind.
    EXPECT_FALSE(fileSystem.WriteLines(folder.Path("old.xls"), {"lost"}));
    EXPECT_EQ(ProbePath(fileSystem, folder.Path("old.xls")), PathKind::Folder);
    // Hidden while it is written, so the program's own search would not see it.
    for (const auto& entry :
         std::filesystem::directory_iterator(wintest::FromUtf8(folder.Path()))) {
        EXPECT_EQ(entry.path().native().find(L".tmp"), std::wstring::npos);
    }
    EXPECT_FALSE(fileSystem.WriteLines(folder.Path("missing\\EXCEL.txt"), {"x"}));
    EXPECT_FALSE(fileSystem.ReadLines(folder.Path("missing.txt")).has_value());
}

}  // namespace
}  // namespace tabrook::platform
