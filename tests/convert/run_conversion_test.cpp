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

namespace tabrook::convert {
namespace {

using ::testing::ElementsAre;

struct RunConversionTest : ::testing::Test {
    // The folder "in" listed with every row ticked, and `output` typed as the output folder.
    app::Form1& Ready(const std::vector<std::string>& names, const std::string& output) {
        for (const std::string& name : names) {
            fixture.work.Write("in/" + name, "workbook");
        }
        app::Form1& form = fixture.Open();
        form.ListView1().Add(in).SetSelected(true);
        sources::FillFileList(form, in);
        QTest::keyClicks(form.Combo2().lineEdit(), QString::fromStdString(output));
        QObject::connect(&form.ProgressBar1(), &QProgressBar::valueChanged,
                         [this](int value) { bar.push_back(value); });
        return form;
    }
    std::vector<std::string> Saved() const {
        std::vector<std::string> targets;
        for (const testing::MemberCall& call : fixture.server.calls) {
            if (call.member == "SaveAs") {
                targets.push_back(std::get<std::string>(call.arguments.positional.at(0)));
            }
        }
        return targets;
    }
    testing::FormFixture fixture;
    const std::string in = fixture.work.Str() + "/in", out = fixture.work.Str() + "/out";
    std::vector<int> bar;
};

TEST_F(RunConversionTest, ConvertsTickedRowsReportsFailuresByBaseNameAndOpensTheFolder) {
    app::Form1& form = Ready({"a.b.xls", "Lost.xls", "Skip.xls", "Z.xls"}, out);
    form.ListView2().Item(3).SetChecked(false);
    std::filesystem::remove(in + "/Lost.xls");  // gone after it was listed
    fixture.work.MakeDir("out/Z");              // a folder in the way of the name

    RunConversion(form);

    EXPECT_THAT(Saved(), ElementsAre(out + "/a.b.xlsx", out + "/Z1.xlsx"));
    ASSERT_EQ(fixture.messageBoxes.shown.size(), 1u);
    EXPECT_EQ(fixture.messageBoxes.shown[0].text, "Convert Lost file failed!");
    EXPECT_EQ(fixture.messageBoxes.shown[0].icon, platform::MessageIcon::Critical);
    EXPECT_THAT(bar, ElementsAre(1, 2, 3, 4, 0));
    ASSERT_EQ(fixture.shell.calls.size(), 1u);
    EXPECT_EQ(fixture.shell.calls[0].target, out + "/");
    EXPECT_EQ(fixture.shell.calls[0].showCommand, platform::ShowCommand::Show);
    EXPECT_EQ(form.CurrentMousePointer(), app::MousePointer::Default);
}

TEST_F(RunConversionTest, EveryEarlyWayOutLeavesBarAndPointerAtRest) {
    // Files, typed output folder, the one message shown.
    const std::tuple<std::vector<std::string>, std::string, std::string> cases[] = {
        {{}, "/new", "Please select excel at fast!"},
        {{"a.xls"}, "", "Please select output folder"},
        {{"a.xls"}, "/no/such/new", "Failed to create folder!"}};
    for (const auto& [files, typed, message] : cases) {
        fixture.messageBoxes.shown.clear();
        app::Form1& form = Ready(files, typed.empty() ? "" : out + typed);
        form.ProgressBar1().SetValue(1);
        form.SetMousePointer(app::MousePointer::Hourglass);
        RunConversion(form);
        ASSERT_EQ(fixture.messageBoxes.shown.size(), 1u);
        EXPECT_EQ(fixture.messageBoxes.shown[0].text, message);
        EXPECT_EQ(form.ProgressBar1().value(), 0);
        EXPECT_EQ(form.CurrentMousePointer(), app::MousePointer::Default);
        EXPECT_TRUE(fixture.shell.calls.empty() && fixture.server.calls.empty());
        EXPECT_FALSE(std::filesystem::exists(out + "/new"));  // an empty list looks at no folder
    }
}

TEST(FreeTargetPath, ChangesATakenNameUntilNothingStandsInTheWay) {
    // Files and folders ("/" at the end) already there, the extension, the free name.
    const std::tuple<std::vector<std::string>, const char*, const char*> cases[] = {
        {{"Other.xlsx", "Book.xls", "Book.xlsx"}, ".xlsb", "Book"},
        {{"Book/", "Book1/", "Book12/"}, ".xlsx", "Book123"},
        {{"Book.xls", "Book.xlsx"}, ".xlsx", "Book1"},  // the source folder as output folder
        {{"Book.xlsm/", "Book1.xlsm"}, ".xlsm", "Book12"},
        // A link to nothing ("@" at the end) is in the way too: saving would replace it.
        {{"Book.xlsx@"}, ".xlsx", "Book1"}};
    for (const auto& [present, extension, expected] : cases) {
        testing::TempDir dir;
        for (const std::string& name : present) {
            if (name.back() == '@') {
                std::filesystem::create_symlink(dir.Path() / "nowhere",
                                                dir.Path() / name.substr(0, name.size() - 1));
            } else {
                name.back() == '/' ? dir.MakeDir(name) : dir.Write(name, "x");
            }
        }
        EXPECT_EQ(FreeTargetPath(platform::PosixFileSystem(), dir.Str() + "/Book", extension),
                  dir.Str() + "/" + expected);
    }
}

}  // namespace
}  // namespace tabrook::convert
