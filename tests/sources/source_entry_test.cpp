#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "sources/file_list.h"
#include "sources/source_entry_commands.h"
#include "support/form_fixture.h"

namespace tabrook::sources {
namespace {

using tabrook::testing::FormFixture;
using ::testing::ElementsAre;

struct Entry {
    std::string text;
    int icon;
    bool operator==(const Entry&) const = default;
};

struct FileRow {
    std::string name;
    bool checked;
    bool operator==(const FileRow&) const = default;
};

// What the user sees of both lists.
struct Lists {
    std::vector<Entry> entries;
    int selected = 0;  // 1-based; 0 when none
    std::vector<FileRow> files;
    bool operator==(const Lists&) const = default;
};

void PrintTo(const Lists& lists, std::ostream* out) {
    *out << "entries:";
    for (const Entry& e : lists.entries) {
        *out << " [" << e.text << " icon " << e.icon << "]";
    }
    *out << " selected " << lists.selected << " files:";
    for (const FileRow& f : lists.files) {
        *out << " [" << f.name << (f.checked ? " ticked]" : "]");
    }
}

class SourceEntryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fixture.work.Write("one/a.xls");
        fixture.work.Write("one/b.XLSX");
        fixture.work.Write("two/c.xls");
        fixture.work.MakeDir("empty");
        fixture.Open();
    }

    app::Form1& Form() { return fixture.Form(); }
    std::string At(const char* relative) const { return (fixture.work.Path() / relative).string(); }

    // Entries as start-up would leave them, the `selected` one chosen and its files shown.
    void Seed(const std::vector<Entry>& entries, int selected) {
        for (const Entry& e : entries) {
            Form().ListView1().Add(e.text).SetSmallIcon(e.icon);
        }
        if (selected > 0) {
            Form().ListView1().Item(selected).SetSelected(true);
            FillFileList(Form(), entries[static_cast<std::size_t>(selected - 1)].text);
        }
    }

    Lists Snapshot() {
        Lists lists;
        platform::ListView& entries = Form().ListView1();
        for (int row = 1; row <= entries.Count(); ++row) {
            platform::ListItem item = entries.Item(row);
            lists.entries.push_back({item.Text(), item.SmallIcon()});
            if (item.Selected()) {
                lists.selected = row;
            }
        }
        platform::ListView& files = Form().ListView2();
        for (int row = 1; row <= files.Count(); ++row) {
            lists.files.push_back({files.Item(row).Text(), files.Item(row).Checked()});
        }
        return lists;
    }

    FormFixture fixture;
};

TEST_F(SourceEntryTest, AddingAFileAppendsSelectsAndListsIt) {
    Seed({{At("one"), app::kImageFolder}, {At("two"), app::kImageFolder}}, 1);
    fixture.dialogs.openAnswers = {At("two/c.xls"), At("two/c.xls")};

    AddSourceFile(Form());
    AddSourceFile(Form());  // the same file again: nothing checks for duplicates

    EXPECT_EQ(Snapshot(), (Lists{{{At("one"), app::kImageFolder},
                                  {At("two"), app::kImageFolder},
                                  {At("two/c.xls"), app::kImageWorkbook},
                                  {At("two/c.xls"), app::kImageWorkbook}},
                                 4,
                                 {{"c.xls", true}}}));
    ASSERT_EQ(fixture.dialogs.openRequests.size(), 2u);
    EXPECT_EQ(fixture.dialogs.openRequests[0].title, "Select Excel File");
    EXPECT_EQ(fixture.dialogs.openRequests[0].initialName, "");
    EXPECT_THAT(fixture.dialogs.owners, ElementsAre(&Form(), &Form()));
    EXPECT_EQ(Form().MousePointer(), app::kPointerDefault);
}

TEST_F(SourceEntryTest, AddingAFolderAppendsSelectsAndListsItsWorkbooks) {
    Seed({{At("two/c.xls"), app::kImageWorkbook}}, 1);
    fixture.dialogs.folderAnswers = {At("one"), "/"};

    AddSourceFolder(Form());

    EXPECT_EQ(Snapshot(),
              (Lists{{{At("two/c.xls"), app::kImageWorkbook}, {At("one"), app::kImageFolder}},
                     2,
                     {{"a.xls", true}, {"b.XLSX", true}}}));
    EXPECT_THAT(fixture.dialogs.folderTitles, ElementsAre("Add all excel files in folder"));

    // The root keeps its one separator.
    AddSourceFolder(Form());
    EXPECT_EQ(Form().ListView1().Item(3).Text(), "/");
}

TEST_F(SourceEntryTest, CancelOrAPathlessFolderChangesNothing) {
    const std::vector<std::pair<const char*, std::function<void()>>> attempts = {
        {"cancelled open", [&] { AddSourceFile(Form()); }},
        {"cancelled folder", [&] { AddSourceFolder(Form()); }},
        {"pathless folder",
         [&] {
             fixture.dialogs.folderAnswers.push_back("");
             AddSourceFolder(Form());
         }},
    };
    Seed({{At("one"), app::kImageFolder}, {At("two"), app::kImageFolder}}, 1);
    Form().ListView2().Item(1).SetChecked(false);
    const Lists before = Snapshot();
    for (const auto& [name, attempt] : attempts) {
        Form().SetMousePointer(app::kPointerHourglass);
        attempt();
        EXPECT_EQ(Snapshot(), before) << name;
        EXPECT_EQ(Form().MousePointer(), app::kPointerDefault) << name;
    }
}

TEST_F(SourceEntryTest, RemovingSelectsTheNeighbourAndShowsItsFiles) {
    const std::vector<Entry> three = {{At("one"), app::kImageFolder},
                                      {At("two"), app::kImageFolder},
                                      {At("empty"), app::kImageFolder}};
    struct Case {
        const char* name;
        std::vector<Entry> entries;
        int selected;
        Lists after;
    };
    const Case cases[] = {
        {"first of three", three, 1, {{three[1], three[2]}, 1, {{"c.xls", true}}}},
        {"middle of three",
         three,
         2,
         {{three[0], three[2]}, 1, {{"a.xls", true}, {"b.XLSX", true}}}},
        {"last of three", three, 3, {{three[0], three[1]}, 2, {{"c.xls", true}}}},
        {"the only one", {three[1]}, 1, {}},
        {"nothing selected", three, 0, {three, 0, {}}},
        {"empty list", {}, 0, {}},
    };
    for (const Case& c : cases) {
        RemoveAllSourceEntries(Form());
        Seed(c.entries, c.selected);
        Form().SetMousePointer(app::kPointerHourglass);

        RemoveSourceEntry(Form());

        EXPECT_EQ(Snapshot(), c.after) << c.name;
        EXPECT_EQ(Form().MousePointer(), app::kPointerDefault) << c.name;
    }
}

TEST_F(SourceEntryTest, RemoveAllEmptiesBothLists) {
    Seed({{At("one"), app::kImageFolder}, {At("two"), app::kImageFolder}}, 1);
    RemoveAllSourceEntries(Form());
    EXPECT_EQ(Snapshot(), Lists{});
}

TEST_F(SourceEntryTest, MovesSwapWithTheNeighbourKeepingIconSelectionAndCheckMarks) {
    const Entry x{At("one"), app::kImageFolder};
    const Entry y{"/gone/since/last/run", app::kImageMissing};
    const Entry z{At("two/c.xls"), app::kImageWorkbook};
    using Command = void (*)(app::Form1&);
    struct Case {
        const char* name;
        Command move;
        std::vector<Entry> entries;
        int selected;
        std::vector<Entry> after;
        int selectedAfter;
    };
    const Case cases[] = {
        {"up from the middle", &MoveSourceEntryUp, {x, y, z}, 2, {y, x, z}, 1},
        {"down from the middle", &MoveSourceEntryDown, {x, y, z}, 2, {x, z, y}, 3},
        {"up from the last", &MoveSourceEntryUp, {x, y, z}, 3, {x, z, y}, 2},
        {"down from the first", &MoveSourceEntryDown, {x, y, z}, 1, {y, x, z}, 2},
        {"up from the first", &MoveSourceEntryUp, {x, y, z}, 1, {x, y, z}, 1},
        {"down from the last", &MoveSourceEntryDown, {x, y, z}, 3, {x, y, z}, 3},
        {"up, only one", &MoveSourceEntryUp, {x}, 1, {x}, 1},
        {"down, only one", &MoveSourceEntryDown, {x}, 1, {x}, 1},
        {"up, none selected", &MoveSourceEntryUp, {x, y}, 0, {x, y}, 0},
        {"down, empty list", &MoveSourceEntryDown, {}, 0, {}, 0},
    };
    for (const Case& c : cases) {
        RemoveAllSourceEntries(Form());
        Seed(c.entries, 0);
        // The file list shows the one folder's files, one unticked; moves leave it alone.
        FillFileList(Form(), At("one"));
        Form().ListView2().Item(2).SetChecked(false);
        if (c.selected > 0) {
            Form().ListView1().Item(c.selected).SetSelected(true);
        }

        c.move(Form());

        EXPECT_EQ(Snapshot(),
                  (Lists{c.after, c.selectedAfter, {{"a.xls", true}, {"b.XLSX", false}}}))
            << c.name;
    }
}

TEST_F(SourceEntryTest, ClickingAnEntryRefillsItsFilesTickingEveryRowAgain) {
    Seed({{At("one"), app::kImageFolder}, {At("two"), app::kImageFolder}}, 1);
    Form().ListView2().Item(1).SetChecked(false);

    ShowSourceEntryFiles(Form());
    EXPECT_EQ(Snapshot().files, (std::vector<FileRow>{{"a.xls", true}, {"b.XLSX", true}}));

    Form().ListView1().Item(2).SetSelected(true);
    ShowSourceEntryFiles(Form());
    EXPECT_EQ(Snapshot().files, (std::vector<FileRow>{{"c.xls", true}}));
    EXPECT_EQ(Form().MousePointer(), app::kPointerDefault);

    RemoveAllSourceEntries(Form());
    ShowSourceEntryFiles(Form());
    EXPECT_EQ(Snapshot(), Lists{});
}

}  // namespace
}  // namespace tabrook::sources
