#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <filesystem>

#include "output/output_folder_commands.h"
#include "support/form_fixture.h"

namespace tabrook::output {
namespace {

namespace fs = std::filesystem;
using platform::MessageIcon;
using tabrook::testing::FormFixture;
using tabrook::testing::ShownMessage;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class OutputFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fixture.work.MakeDir("out");
        fixture.work.Write("a file");
        fixture.Open();
    }

    app::Form1& Form() { return fixture.Form(); }
    platform::ComboBox& Combo2() { return Form().Combo2(); }
    std::string At(const char* relative) const { return (fixture.work.Path() / relative).string(); }

    void Remember(const std::vector<std::string>& folders, int selected) {
        for (const std::string& folder : folders) {
            Combo2().AddItem(folder);
        }
        Combo2().SetListIndex(selected);
    }
    // Types into the edit field as the user does, which leaves no entry selected.
    void Type(const std::string& text) {
        Combo2().lineEdit()->clear();
        QTest::keyClicks(Combo2().lineEdit(), QString::fromStdString(text));
    }
    std::vector<std::string> Entries() {
        std::vector<std::string> entries;
        for (int i = 0; i < Combo2().ListCount(); ++i) {
            entries.push_back(Combo2().List(i));
        }
        return entries;
    }

    FormFixture fixture;
};

TEST_F(OutputFolderTest, BrowsePutsEachChoiceOnTopSelected) {
    Remember({"/older"}, 0);
    fixture.dialogs.folderAnswers = {At("out"), At("out"), std::nullopt, ""};

    BrowseOutputFolder(Form());
    BrowseOutputFolder(Form());
    EXPECT_THAT(Entries(), ElementsAre(At("out"), At("out"), "/older"));
    EXPECT_EQ(Combo2().ListIndex(), 0);
    EXPECT_EQ(Combo2().Text(), At("out"));

    // A cancel and a choice without a path change nothing.
    Combo2().SetListIndex(2);
    BrowseOutputFolder(Form());
    BrowseOutputFolder(Form());
    EXPECT_THAT(Entries(), ElementsAre(At("out"), At("out"), "/older"));
    EXPECT_EQ(Combo2().ListIndex(), 2);
    EXPECT_THAT(fixture.dialogs.folderTitles, ::testing::Each(std::string("Output Folder")));
    EXPECT_THAT(fixture.dialogs.owners, ::testing::Each(&Form()));
}

TEST_F(OutputFolderTest, ViewOpensOnlyAnExistingFolder) {
    struct Case {
        std::string text;
        std::vector<std::string> opened;
    };
    const Case cases[] = {
        {At("out"), {At("out") + "/"}},
        {At("out") + "//", {At("out") + "/"}},
        {"", {"/"}},
        {At("missing"), {}},
        {At("a file"), {}},
    };
    for (const Case& c : cases) {
        fixture.shell.calls.clear();
        Type(c.text);
        ViewOutputFolder(Form());
        std::vector<std::string> opened;
        for (const auto& call : fixture.shell.calls) {
            EXPECT_EQ(call.showCommand, platform::kShow);
            opened.push_back(call.target);
        }
        EXPECT_EQ(opened, c.opened) << "text '" << c.text << "'";
    }
    EXPECT_THAT(fixture.messageBoxes.shown, IsEmpty());
}

TEST_F(OutputFolderTest, RemoveCurrentSelectsTheEntryThatTakesItsPlace) {
    struct Case {
        const char* name;
        int selected;  // -1: a typed text
        std::vector<std::string> after;
        int selectedAfter;
    };
    const Case cases[] = {
        {"last of three", 2, {"/a", "/b"}, 1},
        {"first of three", 0, {"/b", "/c"}, 0},
        {"middle of three", 1, {"/a", "/c"}, 1},
        {"typed text", -1, {"/a", "/b", "/c"}, -1},
    };
    for (const Case& c : cases) {
        RemoveAllOutputFolders(Form());
        Remember({"/a", "/b", "/c"}, 0);
        if (c.selected >= 0) {
            Combo2().SetListIndex(c.selected);
        } else {
            Type("/typed");
        }
        RemoveOutputFolder(Form());
        EXPECT_EQ(Entries(), c.after) << c.name;
        EXPECT_EQ(Combo2().ListIndex(), c.selectedAfter) << c.name;
    }

    RemoveAllOutputFolders(Form());
    Remember({"/only"}, 0);
    RemoveOutputFolder(Form());
    EXPECT_THAT(Entries(), IsEmpty());
    RemoveOutputFolder(Form());  // on an empty list: nothing
    EXPECT_THAT(Entries(), IsEmpty());
}

TEST_F(OutputFolderTest, RemoveAllEmptiesTheList) {
    Remember({"/a", "/b", "/c"}, 1);
    RemoveAllOutputFolders(Form());
    EXPECT_THAT(Entries(), IsEmpty());
    EXPECT_THAT(fixture.messageBoxes.shown, IsEmpty());
}

struct PrepareCase {
    const char* name;
    std::string text;  // relative to the work folder unless it begins with "/"
    bool remembered;   // picked from the list rather than typed
    bool ready;
    std::string outputDir;  // relative to the work folder, unless "/"
    std::vector<ShownMessage> shown;
    std::string created;  // a folder that must exist afterwards; empty for none
};

TEST_F(OutputFolderTest, PrepareChecksCreatesOneLevelAndLeavesOneTrailingSeparator) {
    const ShownMessage kSelect{"Please select output folder", MessageIcon::Information};
    const ShownMessage kMissing{"Folder does not exist!", MessageIcon::Critical};
    const ShownMessage kFailed{"Failed to create folder!", MessageIcon::Critical};
    const PrepareCase cases[] = {
        {"remembered folder", "out", true, true, "out/", {}, ""},
        {"remembered folder with separators", "out//", true, true, "out/", {}, ""},
        {"typed existing folder", "out", false, true, "out/", {}, ""},
        {"typed new folder, parent exists", "out/new//", false, true, "out/new/", {}, "out/new"},
        {"typed folder, parent missing", "no/such/new", false, false, "", {kFailed}, ""},
        {"typed name of a file", "a file/", false, false, "", {kFailed}, ""},
        {"remembered folder that has gone", "gone", true, false, "", {kMissing}, ""},
        {"empty text", "", false, false, "", {kSelect}, ""},
        {"the root", "/", false, true, "/", {}, ""},
        {"the root, remembered", "/", true, true, "/", {}, ""},
    };
    for (const PrepareCase& c : cases) {
        fixture.messageBoxes.shown.clear();
        RemoveAllOutputFolders(Form());
        const std::string text = c.text.empty() || c.text.front() == '/' ? c.text : At("") + c.text;
        if (c.remembered) {
            Remember({text}, 0);
        } else {
            Type(text);
        }

        EXPECT_EQ(PrepareOutputFolder(Form()), c.ready) << c.name;
        EXPECT_EQ(fixture.messageBoxes.shown, c.shown) << c.name;
        if (c.ready) {
            const std::string expected = c.outputDir == "/" ? "/" : At("") + c.outputDir;
            EXPECT_EQ(Form().Paths().OutputDir, expected) << c.name;
        }
        if (!c.created.empty()) {
            EXPECT_TRUE(fs::is_directory(fixture.work.Path() / c.created)) << c.name;
        }
    }
    // Nothing was made where preparation failed.
    EXPECT_FALSE(fs::exists(fixture.work.Path() / "no"));
    EXPECT_FALSE(fs::exists(fixture.work.Path() / "gone"));
}

TEST_F(OutputFolderTest, PrepareSpellsATypedRelativePathFromTheCurrentFolder) {
    const fs::path before = fs::current_path();
    fs::current_path(fixture.work.Path());
    Type("relative/");
    const bool ready = PrepareOutputFolder(Form());
    fs::current_path(before);

    EXPECT_TRUE(ready);
    EXPECT_EQ(Form().Paths().OutputDir, At("relative") + "/");
    EXPECT_TRUE(fs::is_directory(fixture.work.Path() / "relative"));
}

}  // namespace
}  // namespace tabrook::output
