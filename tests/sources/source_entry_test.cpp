#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <functional>

#include "sources/file_list.h"
#include "sources/source_entry_commands.h"
#include "support/form_fixture.h"

namespace tabrook::sources {
namespace {

// Both lists in one line: entries by last name and icon, "*" on the selected one, then the
// file list with "-" on unticked rows.
std::string Lists(app::Form1& form) {
    std::string text;
    for (int row = 1; row <= form.ListView1().Count(); ++row) {
        platform::ListItem item = form.ListView1().Item(row);
        text += (item.Selected() ? "*" : "") + item.Text().substr(item.Text().rfind('/') + 1) +
                ":" + std::to_string(item.SmallIcon()) + " ";
    }
    for (int row = 1; row <= form.ListView2().Count(); ++row) {
        platform::ListItem item = form.ListView2().Item(row);
        text += std::string(item.Checked() ? "|" : "|-") + item.Text();
    }
    return text;
}

struct SourceEntryTest : ::testing::Test {
    // Entries a, b and a missing one; the file list shows a's files with the second unticked.
    app::Form1& Seed(int selected) {
        for (const char* file : {"a/1.xls", "a/2.xls", "b/3.xls"}) {
            fixture.work.Write(file);
        }
        app::Form1& form = fixture.Open();
        for (const auto& [name, icon] : {std::pair{"a", 2}, {"b", 2}, {"gone", 3}}) {
            form.ListView1().Add(At(name)).SetSmallIcon(icon);
        }
        if (selected > 0) {
            form.ListView1().Item(selected).SetSelected(true);
        }
        FillFileList(form, At("a"));
        form.ListView2().Item(2).SetChecked(false);
        form.SetMousePointer(app::MousePointer::Hourglass);
        return form;
    }
    std::string At(const char* name) const { return (fixture.work.Path() / name).string(); }
    testing::FormFixture fixture;
};

TEST_F(SourceEntryTest, AddAppendsSelectsAndListsButCancelChangesNothing) {
    app::Form1& form = Seed(1);
    fixture.dialogs.openAnswers = {std::nullopt, At("b/3.xls")};
    fixture.dialogs.folderAnswers = {std::nullopt, "", At("a")};
    for (int i = 0; i < 3; ++i) {
        AddSourceFolder(form);
        AddSourceFile(form);
        EXPECT_EQ(form.CurrentMousePointer(), app::MousePointer::Default);
    }
    EXPECT_EQ(Lists(form), "a:2 b:2 gone:3 3.xls:1 *a:2 |1.xls|2.xls");
    EXPECT_EQ(fixture.dialogs.openRequests.at(0).title + "|" + fixture.dialogs.folderTitles.at(0),
              "Select Excel File|Add all excel files in folder");
}

TEST_F(SourceEntryTest, RemoveSelectsTheEntryBeforeOrForTheFirstTheOneAfter) {
    const std::pair<int, std::string> cases[] = {{1, "*b:2 gone:3 |3.xls"},
                                                 {2, "*a:2 gone:3 |1.xls|2.xls"},
                                                 {3, "a:2 *b:2 |3.xls"},
                                                 {0, "a:2 b:2 gone:3 |1.xls|-2.xls"}};
    for (const auto& [selected, after] : cases) {
        RemoveSourceEntry(Seed(selected));
        EXPECT_EQ(Lists(fixture.Form()), after);
        EXPECT_EQ(fixture.Form().CurrentMousePointer(), app::MousePointer::Default);
    }
    app::Form1& form = Seed(2);
    for (int i = 0; i < 3; ++i) {
        RemoveSourceEntry(form);
    }
    EXPECT_EQ(Lists(form), "");     // the last one gone: both lists empty
    ShowSourceEntryFiles(Seed(0));  // a click that left nothing selected changes nothing
    EXPECT_EQ(Lists(fixture.Form()), "a:2 b:2 gone:3 |1.xls|-2.xls");
}

TEST_F(SourceEntryTest, MovesSwapNeighboursKeepingIconSelectionAndTheFileList) {
    const std::tuple<void (*)(app::Form1&), int, std::string> cases[] = {
        {&MoveSourceEntryUp, 2, "*b:2 a:2 gone:3 "},
        {&MoveSourceEntryDown, 2, "a:2 gone:3 *b:2 "},
        {&MoveSourceEntryUp, 3, "a:2 *gone:3 b:2 "},
        {&MoveSourceEntryUp, 1, "*a:2 b:2 gone:3 "},
        {&MoveSourceEntryDown, 3, "a:2 b:2 *gone:3 "},
        {&MoveSourceEntryDown, 0, "a:2 b:2 gone:3 "}};
    for (const auto& [move, selected, after] : cases) {
        move(Seed(selected));
        EXPECT_EQ(Lists(fixture.Form()), after + "|1.xls|-2.xls");
    }
}

TEST_F(SourceEntryTest, EveryUserChoiceOfAnEntryRefillsTheFileListOnce) {
    app::Form1& form = Seed(1);
    form.show();
    platform::ListView& entries = form.ListView1();
    int rowsFilled = 0;
    QObject::connect(
        form.ListView2().model(), &QAbstractItemModel::rowsInserted,
        [&](const QModelIndex&, int first, int last) { rowsFilled += last - first + 1; });
    QWidget* viewport = entries.viewport();
    const auto at = [&](int row) {
        return entries.visualItemRect(entries.topLevelItem(row - 1)).center();
    };
    const auto drag = [&](int from, int to) {
        QTest::mousePress(viewport, Qt::LeftButton, {}, at(from));
        QMouseEvent move(QEvent::MouseMove, at(to), viewport->mapToGlobal(at(to)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at(to));
    };
    // What the user does, then both lists and how many rows the file list was filled with:
    // a holds two workbooks, b one, gone none.
    const std::pair<std::function<void()>, std::string> steps[] = {
        {[&] { QTest::keyClick(&entries, Qt::Key_Down); }, "a:2 *b:2 gone:3 |3.xls 1"},
        {[&] { QTest::keyClick(&entries, Qt::Key_End); }, "a:2 b:2 *gone:3  0"},
        {[&] { QTest::keyClick(&entries, Qt::Key_Home); }, "*a:2 b:2 gone:3 |1.xls|2.xls 2"},
        {[&] {
             form.ListView2().Item(2).SetChecked(false);
             QTest::mouseClick(viewport, Qt::LeftButton, {}, at(1));  // the selected one again
         },
         "*a:2 b:2 gone:3 |1.xls|2.xls 2"},
        {[&] { QTest::mouseClick(viewport, Qt::LeftButton, {}, at(2)); },
         "a:2 *b:2 gone:3 |3.xls 1"},
        {[&] { drag(2, 1); }, "*a:2 b:2 gone:3 |1.xls|2.xls 2"},
        {[&] { MoveSourceEntryDown(form); }, "b:2 *a:2 gone:3 |1.xls|2.xls 0"},
        {[&] { RemoveSourceEntry(form); }, "*b:2 gone:3 |3.xls 1"},
    };
    for (const auto& [act, after] : steps) {
        rowsFilled = 0;
        act();
        EXPECT_EQ(Lists(form) + " " + std::to_string(rowsFilled), after);
        EXPECT_EQ(form.CurrentMousePointer(), app::MousePointer::Default);
    }
}

TEST_F(SourceEntryTest, AddRefusesPathsThatWouldSplitInTheStateFile) {
    app::Form1& form = Seed(1);
    fixture.work.Write("a/line\nbreak.xls");
    const std::string folder = fixture.work.MakeDir("c\rd").string();
    fixture.dialogs.openAnswers = {At("a/line\nbreak.xls")};
    fixture.dialogs.folderAnswers = {folder};
    AddSourceFile(form);
    AddSourceFolder(form);
    EXPECT_EQ(Lists(form), "*a:2 b:2 gone:3 |1.xls|-2.xls");
    EXPECT_EQ(form.CurrentMousePointer(), app::MousePointer::Default);
    ASSERT_EQ(fixture.messageBoxes.shown.size(), 2U);
    EXPECT_EQ(fixture.messageBoxes.shown[1].text,
              "A path that holds a line break cannot be added:\n" + folder);
    EXPECT_EQ(fixture.messageBoxes.shown[1].icon, platform::MessageIcon::Critical);
}

}  // namespace
}  // namespace tabrook::sources
