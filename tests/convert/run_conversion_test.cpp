#include "convert/run_conversion.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <filesystem>

#include "convert/name_collision.h"
#include "platform/posix_file_system.h"
#include "sources/file_list.h"
#include "support/form_fixture.h"

namespace tabrook::testing {
// Readable failure output for the messages the user saw.
void PrintTo(const ShownMessage& message, std::ostream* out);
void PrintTo(const ShownMessage& message, std::ostream* out) {
    *out << '"' << message.text << "\" icon " << static_cast<int>(message.icon);
}
}  // namespace tabrook::testing

namespace tabrook::convert {
namespace {

namespace fs = std::filesystem;
using platform::MessageIcon;
using tabrook::testing::FormFixture;
using tabrook::testing::ShownMessage;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class RunConversionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app::Form1& form = fixture.Open();
        QObject::connect(&form.ProgressBar1(), &QProgressBar::valueChanged,
                         [this](int value) { barValues.push_back(value); });
        out = (fixture.work.Path() / "out").string();
    }

    app::Form1& Form() { return fixture.Form(); }

    // A source folder entry holding `names`, selected and listed with every row ticked.
    void ListFolder(const std::string& folder, const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            fixture.work.Write(folder + "/" + name, "workbook");
        }
        const std::string path = (fixture.work.Path() / folder).string();
        Form().ListView1().Add(path).SetSelected(true);
        sources::FillFileList(Form(), path);
    }
    void Untick(int row) { Form().ListView2().Item(row).SetChecked(false); }
    void TypeOutputFolder(const std::string& text) {
        QTest::keyClicks(Form().Combo2().lineEdit(), QString::fromStdString(text));
    }

    // What SaveAs was asked to write, in order.
    std::vector<std::string> SavedTargets() const {
        std::vector<std::string> targets;
        for (const auto& call : fixture.server.calls) {
            if (call.member == "SaveAs") {
                targets.push_back(std::get<std::string>(call.arguments.positional.at(0)));
            }
        }
        return targets;
    }
    std::vector<std::string> OpenedSources() const {
        std::vector<std::string> sources;
        for (const auto& call : fixture.server.calls) {
            if (call.member == "Open") {
                sources.push_back(std::get<std::string>(call.arguments.positional.at(0)));
            }
        }
        return sources;
    }
    void ExpectRunEnded() {
        EXPECT_EQ(Form().ProgressBar1().value(), 0);
        EXPECT_EQ(Form().MousePointer(), app::kPointerDefault);
    }

    FormFixture fixture;
    std::vector<int> barValues;
    std::string out;
};

TEST_F(RunConversionTest, ConvertsTheTickedRowsInOrderAndOpensTheFolder) {
    ListFolder("in", {"a.b.xls", "Budget.xls", "Skip.xls"});
    Untick(3);
    TypeOutputFolder(out + "/");

    RunConversion(Form());

    EXPECT_THAT(OpenedSources(), ElementsAre(fixture.work.Str() + "/in/a.b.xls",
                                             fixture.work.Str() + "/in/Budget.xls"));
    EXPECT_THAT(SavedTargets(), ElementsAre(out + "/a.b.xlsx", out + "/Budget.xlsx"));
    EXPECT_EQ(fixture.server.instancesCreated, 2);
    EXPECT_THAT(barValues, ElementsAre(1, 2, 3, 0));
    EXPECT_EQ(Form().ProgressBar1().maximum(), 3);
    ASSERT_EQ(fixture.shell.calls.size(), 1u);
    EXPECT_EQ(fixture.shell.calls[0].target, out + "/");
    EXPECT_EQ(fixture.shell.calls[0].showCommand, platform::kShow);
    EXPECT_THAT(fixture.messageBoxes.shown, IsEmpty());
    // A run changes neither the rows nor their check marks.
    EXPECT_EQ(Form().ListView2().Count(), 3);
    EXPECT_FALSE(Form().ListView2().Item(3).Checked());
    ExpectRunEnded();
}

TEST_F(RunConversionTest, OnlyTheSecondOfThreeTickedConvertsRowTwo) {
    ListFolder("in", {"1 One.xls", "2 Two.xls", "3 Three.xls"});
    Untick(1);
    Untick(3);
    Form().Combo1().SetListIndex(1);
    TypeOutputFolder(out);

    RunConversion(Form());

    EXPECT_THAT(OpenedSources(), ElementsAre(fixture.work.Str() + "/in/2 Two.xls"));
    EXPECT_THAT(SavedTargets(), ElementsAre(out + "/2 Two.xlsm"));
    EXPECT_EQ(Form().Paths().TargetPath, out + "/2 Two");
    EXPECT_THAT(barValues, ElementsAre(1, 2, 3, 0));
}

TEST_F(RunConversionTest, OneFailureIsReportedByItsBaseNameAndTheRunGoesOn) {
    ListFolder("in", {"First.xls", "Lost.xls", "Third.xls"});
    fs::remove(fixture.work.Path() / "in" / "Lost.xls");  // gone after it was listed
    TypeOutputFolder(out);

    RunConversion(Form());

    EXPECT_THAT(fixture.messageBoxes.shown,
                ElementsAre(ShownMessage{"Convert Lost file failed!", MessageIcon::Critical}));
    EXPECT_THAT(SavedTargets(), ElementsAre(out + "/First.xlsx", out + "/Third.xlsx"));
    EXPECT_THAT(barValues, ElementsAre(1, 2, 3, 0));
    EXPECT_EQ(fixture.shell.calls.size(), 1u);
    ExpectRunEnded();
}

TEST_F(RunConversionTest, AServerErrorGivesTheServersTextThenTheDriversMessage) {
    ListFolder("in", {"Book.xls"});
    fixture.server.FailAt("Open", 1004, "Cannot open the file.");
    TypeOutputFolder(out);
    Form().ListView2().Add("Dotless").SetChecked(true);  // not found: no server at all

    RunConversion(Form());

    EXPECT_THAT(fixture.messageBoxes.shown,
                ElementsAre(ShownMessage{"Cannot open the file.", MessageIcon::None},
                            ShownMessage{"Convert Book file failed!", MessageIcon::Critical},
                            ShownMessage{"Convert Dotless file failed!", MessageIcon::Critical}));
    EXPECT_EQ(fixture.shell.calls.size(), 1u);
    ExpectRunEnded();
}

TEST_F(RunConversionTest, EarlyWaysOutRestoreBarAndPointer) {
    struct Case {
        const char* name;
        bool listed;
        std::string outputText;  // typed
        ShownMessage shown;
    };
    const Case cases[] = {
        {"no output folder", true, "", {"Please select output folder", MessageIcon::Information}},
        {"output folder cannot be made",
         true,
         "no/such/parent",
         {"Failed to create folder!", MessageIcon::Critical}},
        {"empty file list",
         false,
         "new",
         {"Please select excel at fast!", MessageIcon::Information}},
    };
    ListFolder("in", {"Book.xls"});
    for (const Case& c : cases) {
        fixture.messageBoxes.shown.clear();
        if (!c.listed) {
            Form().ListView2().Clear();
        }
        Form().Combo2().lineEdit()->clear();
        if (!c.outputText.empty()) {
            TypeOutputFolder(out + "/" + c.outputText);
        }
        Form().ProgressBar1().SetValue(1);  // as if a bar were left over
        Form().SetMousePointer(app::kPointerHourglass);

        RunConversion(Form());

        EXPECT_THAT(fixture.messageBoxes.shown, ElementsAre(c.shown)) << c.name;
        ExpectRunEnded();
    }
    // The empty list, tried last, stopped before the output folder was looked at.
    EXPECT_FALSE(fs::exists(out));
    EXPECT_THAT(fixture.shell.calls, IsEmpty());
    EXPECT_THAT(fixture.server.calls, IsEmpty());
}

TEST_F(RunConversionTest, WithNothingTickedTheFolderIsStillPreparedAndOpened) {
    ListFolder("in", {"a.xls", "b.xls"});
    Untick(1);
    Untick(2);
    TypeOutputFolder(out);

    RunConversion(Form());

    EXPECT_TRUE(fs::is_directory(out));
    EXPECT_THAT(fixture.server.calls, IsEmpty());
    EXPECT_THAT(barValues, ElementsAre(1, 2, 0));
    EXPECT_EQ(fixture.shell.calls.size(), 1u);
}

TEST_F(RunConversionTest, NothingInTheOutputFolderIsEverSavedOver) {
    // Output folder = source folder, holding both a workbook and its converted twin.
    ListFolder("in", {"Book.xls", "Book.xlsx"});
    const std::string in = fixture.work.Str() + "/in";
    TypeOutputFolder(in);

    RunConversion(Form());

    EXPECT_THAT(OpenedSources(), ElementsAre(in + "/Book.xls", in + "/Book.xlsx"));
    for (const std::string& target : SavedTargets()) {
        EXPECT_THAT(target, ::testing::Not(::testing::AnyOf(in + "/Book.xls", in + "/Book.xlsx")));
    }
    EXPECT_THAT(SavedTargets(), ElementsAre(in + "/Book1.xlsx", in + "/Book1.xlsx"));
}

// The collision step on its own, over a real folder.
TEST(FreeTargetPath, ChangesATakenNameUntilNothingStandsInTheWay) {
    struct Case {
        const char* name;
        std::vector<std::string> files;
        std::vector<std::string> folders;
        const char* extension;
        const char* expected;
    };
    const Case cases[] = {
        {"nothing there", {"Other.xlsx"}, {}, ".xlsx", "Book"},
        {"a folder of the base name", {}, {"Book"}, ".xlsx", "Book1"},
        {"folders all the way", {}, {"Book", "Book1", "Book12"}, ".xlsx", "Book123"},
        {"an existing output file", {"Book.xlsx"}, {}, ".xlsx", "Book1"},
        {"output files and a folder", {"Book.xlsx", "Book1.xlsx"}, {"Book12"}, ".xlsx", "Book123"},
        {"a folder of the output name", {}, {"Book.xlsm"}, ".xlsm", "Book1"},
        {"another format's file is no obstacle", {"Book.xlsx", "Book.xls"}, {}, ".xlsb", "Book"},
        {"a file of the base name alone", {"Book"}, {}, ".xlsx", "Book"},
    };
    for (const Case& c : cases) {
        tabrook::testing::TempDir dir;
        for (const std::string& file : c.files) {
            dir.Write(file, "x");
        }
        for (const std::string& folder : c.folders) {
            dir.MakeDir(folder);
        }
        platform::PosixFileSystem fileSystem;
        EXPECT_EQ(FreeTargetPath(fileSystem, dir.Str() + "/Book", c.extension),
                  dir.Str() + "/" + c.expected)
            << c.name;
    }
}

TEST(FreeTargetPath, ALinkToAFileIsTakenToo) {
    tabrook::testing::TempDir dir;
    const fs::path real = dir.Write("elsewhere.xlsx", "keep me");
    fs::create_symlink(real, dir.Path() / "Book.xlsx");
    platform::PosixFileSystem fileSystem;
    EXPECT_EQ(FreeTargetPath(fileSystem, dir.Str() + "/Book", ".xlsx"), dir.Str() + "/Book1");
}

}  // namespace
}  // namespace tabrook::convert
