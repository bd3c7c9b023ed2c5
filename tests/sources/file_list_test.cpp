#include "sources/file_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/form1.h"
#include "convert/run_conversion.h"
#include "support/form_fixture.h"
#include "support/prerequisites.h"

namespace tabrook::sources {
namespace {

using tabrook::testing::FormFixture;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class FileListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"b.xls", "A.XLS", "c.xlsx", "d.xlsm", "e.xlsb", "f.xls.bak",
                                 "g.csv", ".hidden.xls", "sub/deep.xls"}) {
            fixture.work.Write(std::string("in/") + name, "x");
        }
        fixture.work.MakeDir("in/old.xls");
        fixture.work.MakeDir("empty");
        folder = (fixture.work.Path() / "in").string();
        fixture.Open();
    }
    app::Form1& Form() { return fixture.Form(); }
    std::vector<std::string> Rows() {
        std::vector<std::string> rows;
        for (int i = 1; i <= Form().ListView2().Count(); ++i) {
            platform::ListItem row = Form().ListView2().Item(i);
            rows.push_back(row.Text() + (row.Checked() ? " [x]" : " [ ]"));
        }
        return rows;
    }
    // Selects a source entry as the list commands leave it, then fills the file list.
    void Select(const std::string& entry) {
        Form().ListView1().Add(entry).SetSelected(true);
        FillFileList(Form(), entry);
    }

    FormFixture fixture;
    std::string folder;
};

TEST_F(FileListTest, FolderEntryListsItsOwnWorkbooksTicked) {
    Select(folder);
    EXPECT_THAT(Rows(),
                ElementsAre("A.XLS [x]", "b.xls [x]", "c.xlsx [x]", "d.xlsm [x]", "e.xlsb [x]"));
    EXPECT_TRUE(Form().ListView2().isVisibleTo(&Form()));
}

TEST_F(FileListTest, FileEntryGivesOneRowAndResolvesToItself) {
    const std::string file = folder + "/c.xlsx";
    Select(file);
    EXPECT_THAT(Rows(), ElementsAre("c.xlsx [x]"));
    EXPECT_EQ(ResolveSourcePath(Form(), 1), file);
}

TEST_F(FileListTest, EntriesThatListNothing) {
    for (const std::string& entry : {fixture.work.Str() + "/empty", fixture.work.Str() + "/gone",
                                     std::string(), folder + "/.hidden.xls"}) {
        Select(entry);
        EXPECT_THAT(Rows(), IsEmpty()) << entry;
    }
}

TEST_F(FileListTest, RefillTicksEveryRowAgain) {
    Select(folder);
    Form().ListView2().Item(2).SetChecked(false);
    FillFileList(Form(), folder);
    EXPECT_TRUE(Form().ListView2().Item(2).Checked());
}

TEST_F(FileListTest, ResolvesRowsAgainstTheSelectedEntryAfresh) {
    Select(folder);
    EXPECT_EQ(ResolveSourcePath(Form(), 2), folder + "/b.xls");
    // Deleted after listing, or replaced by a folder of the same name: not found.
    std::filesystem::remove(folder + "/b.xls");
    EXPECT_EQ(ResolveSourcePath(Form(), 2), "");
    std::filesystem::remove(folder + "/c.xlsx");
    std::filesystem::create_directory(folder + "/c.xlsx");
    EXPECT_EQ(ResolveSourcePath(Form(), 3), "");
    EXPECT_EQ(ResolveSourcePath(Form(), 4), folder + "/d.xlsm");
}

TEST_F(FileListTest, ResolvesNothingWithoutSourceEntries) {
    FillFileList(Form(), folder);
    EXPECT_EQ(ResolveSourcePath(Form(), 1), "");
}

TEST_F(FileListTest, RootFolderEntryListsAndResolvesWithDoubledSeparator) {
    // The root's own workbooks are listed and found although "/" + "/" joins two separators.
    // A root without a workbook would prove nothing, so the test puts one there for itself.
    const std::filesystem::path placed =
        "/tabrook-root-entry-" + std::to_string(::getpid()) + ".xls";
    if (!std::ofstream(placed).put('x')) {
        TABROOK_SKIP_UNLESS_CI() << "the root folder cannot be written";
    }
    struct RemovePlaced {
        std::filesystem::path file;
        ~RemovePlaced() { std::filesystem::remove(file); }
    } remove{placed};
    Select("/");
    std::vector<std::string> listed;
    for (int row = 1; row <= Form().ListView2().Count(); ++row) {
        listed.push_back(Form().ListView2().Item(row).Text());
        const std::string path = ResolveSourcePath(Form(), row);
        EXPECT_EQ(path, "//" + listed.back());
        EXPECT_TRUE(std::filesystem::is_regular_file(path));
    }
    EXPECT_THAT(listed, ::testing::Contains(placed.filename().string()));
}

TEST_F(FileListTest, NamesOfAnyBytesAreListedResolvedAndConvertedAsOnDisk) {
    // Markup, line breaks and bytes that are no UTF-8: Linux allows them all in a name.
    const std::vector<std::string> names{"<b>x.xls", "cr\rname.xls", "line\nbreak.xls",
                                         "\xff\xfe.xls"};
    for (const std::string& name : names) {
        fixture.work.Write("odd/" + name, "x");
    }
    const std::string odd = fixture.work.Str() + "/odd";
    const std::string out = fixture.work.MakeDir("out").string();
    Select(odd);
    Form().Combo2().AddItem(out);
    Form().Combo2().SetListIndex(0);
    convert::RunConversion(Form());

    std::vector<std::string> listed;
    std::vector<std::string> opened;
    std::vector<std::string> saved;
    for (int row = 1; row <= Form().ListView2().Count(); ++row) {
        listed.push_back(Form().ListView2().Item(row).Text());
        EXPECT_EQ(ResolveSourcePath(Form(), row), odd + "/" + listed.back());
    }
    for (const testing::MemberCall& call : fixture.server.calls) {
        if (call.member == "Open" || call.member == "SaveAs") {
            (call.member == "Open" ? opened : saved)
                .push_back(std::get<std::string>(call.arguments.positional.at(0)));
        }
    }
    EXPECT_EQ(listed, names);
    ASSERT_EQ(opened.size(), names.size());
    ASSERT_EQ(saved.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(opened[i], odd + "/" + names[i]);
        EXPECT_EQ(saved[i], out + "/" + names[i].substr(0, names[i].size() - 4) + ".xlsx");
    }
    EXPECT_TRUE(fixture.messageBoxes.shown.empty());
}

}  // namespace
}  // namespace tabrook::sources
