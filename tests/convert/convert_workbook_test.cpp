#include "convert/convert_workbook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sources/file_list.h"
#include "support/form_fixture.h"

namespace tabrook::convert {
namespace {

using tabrook::testing::FormFixture;
using tabrook::testing::ShownMessage;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr std::int32_t kNegative = static_cast<std::int32_t>(0x800706BEu);

// A window whose file list shows Book.xls from a source folder, ready for row 1.
class ConvertWorkbookTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fixture.work.Write("in/Book.xls", "workbook bytes");
        fixture.work.Write("in/Other.xls", "workbook bytes");
        app::Form1& form = fixture.Open();
        const std::string folder = (fixture.work.Path() / "in").string();
        form.ListView1().Add(folder).SetSelected(true);
        sources::FillFileList(form, folder);
        form.Paths().TargetPath = (fixture.work.Path() / "out" / "Book").string();
    }
    app::Form1& Form() { return fixture.Form(); }

    FormFixture fixture;
};

struct FailureCase {
    const char* name;
    const char* step;
    std::int32_t number;
    ConvertResult result;
    std::vector<std::string> steps;
    bool messageShown;
};

class ConvertWorkbookFailure : public ConvertWorkbookTest,
                               public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ConvertWorkbookFailure, MakesExactlyTheCallsOfItsPathAndReturnsItsCode) {
    const FailureCase& failure = GetParam();
    if (*failure.step != '\0') {
        fixture.server.FailAt(failure.step, failure.number, "The server says no.");
    }
    EXPECT_EQ(ConvertWorkbook(Form(), 1), failure.result);
    EXPECT_THAT(fixture.server.Steps(), ElementsAreArray(failure.steps));
    if (failure.messageShown) {
        EXPECT_THAT(fixture.messageBoxes.shown,
                    ElementsAre(ShownMessage{"The server says no.", platform::MessageIcon::None}));
    } else {
        EXPECT_TRUE(fixture.messageBoxes.shown.empty());
    }
    // Every reference is released on every way out, so no instance lingers.
    EXPECT_EQ(fixture.server.instancesAlive, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ConvertWorkbookFailure,
    ::testing::Values(
        FailureCase{"Success",
                    "",
                    0,
                    ConvertResult::Done,
                    {"create", "Workbooks", "Open", "DisplayAlerts", "SaveAs", "Close", "Quit"},
                    false},
        FailureCase{"CreateFails", "create", 429, ConvertResult::ServerError, {"create"}, true},
        FailureCase{"WorkbooksFails",
                    "Workbooks",
                    1004,
                    ConvertResult::ServerError,
                    {"create", "Workbooks", "Quit"},
                    true},
        FailureCase{"OpenFails",
                    "Open",
                    1004,
                    ConvertResult::ServerError,
                    {"create", "Workbooks", "Open", "Quit"},
                    true},
        FailureCase{"DisplayAlertsFails",
                    "DisplayAlerts",
                    438,
                    ConvertResult::ServerError,
                    {"create", "Workbooks", "Open", "DisplayAlerts", "Close", "Quit"},
                    true},
        FailureCase{"SaveAsFails",
                    "SaveAs",
                    1004,
                    ConvertResult::ServerError,
                    {"create", "Workbooks", "Open", "DisplayAlerts", "SaveAs", "Close", "Quit"},
                    true},
        // A failing Close still gets the instance shut down.
        FailureCase{
            "CloseFails",
            "Close",
            1004,
            ConvertResult::ServerError,
            {"create", "Workbooks", "Open", "DisplayAlerts", "SaveAs", "Close", "Close", "Quit"},
            true},
        // Transport failures: nothing shown, nothing more sent.
        FailureCase{"OpenTransportFailure",
                    "Open",
                    kNegative,
                    ConvertResult::TransportFailure,
                    {"create", "Workbooks", "Open"},
                    false},
        FailureCase{"SaveAsTransportFailure",
                    "SaveAs",
                    kNegative,
                    ConvertResult::TransportFailure,
                    {"create", "Workbooks", "Open", "DisplayAlerts", "SaveAs"},
                    false},
        FailureCase{"SaveAsErrorZero",
                    "SaveAs",
                    0,
                    ConvertResult::TransportFailure,
                    {"create", "Workbooks", "Open", "DisplayAlerts", "SaveAs"},
                    false}));

struct FormatCase {
    int listIndex;
    const char* extension;
    std::int32_t code;
};

class ConvertWorkbookFormat : public ConvertWorkbookTest,
                              public ::testing::WithParamInterface<FormatCase> {};

TEST_P(ConvertWorkbookFormat, SavesUnderTargetPathPlusExtensionWithNamedFileFormat) {
    Form().Combo1().SetListIndex(GetParam().listIndex);
    ASSERT_EQ(ConvertWorkbook(Form(), 1), ConvertResult::Done);

    const auto& calls = fixture.server.calls;
    const auto open = std::find_if(calls.begin(), calls.end(),
                                   [](const auto& call) { return call.member == "Open"; });
    ASSERT_NE(open, calls.end());
    EXPECT_EQ(std::get<std::string>(open->arguments.positional.at(0)),
              (fixture.work.Path() / "in" / "Book.xls").string());
    EXPECT_TRUE(open->arguments.named.empty());

    const auto save = std::find_if(calls.begin(), calls.end(),
                                   [](const auto& call) { return call.member == "SaveAs"; });
    ASSERT_NE(save, calls.end());
    ASSERT_EQ(save->arguments.positional.size(), 1u);
    EXPECT_EQ(std::get<std::string>(save->arguments.positional[0]),
              Form().Paths().TargetPath + GetParam().extension);
    ASSERT_EQ(save->arguments.named.size(), 1u);
    EXPECT_EQ(save->arguments.named[0].name, "FileFormat");
    EXPECT_EQ(std::get<std::int32_t>(save->arguments.named[0].value), GetParam().code);

    const auto alerts = std::find_if(calls.begin(), calls.end(), [](const auto& call) {
        return call.member == "DisplayAlerts";
    });
    ASSERT_NE(alerts, calls.end());
    EXPECT_EQ(alerts->kind, "put");
    EXPECT_EQ(std::get<bool>(alerts->value), false);
}

INSTANTIATE_TEST_SUITE_P(Table, ConvertWorkbookFormat,
                         ::testing::Values(FormatCase{0, ".xlsx", 51}, FormatCase{1, ".xlsm", 52},
                                           FormatCase{2, ".xlsb", 50}, FormatCase{-1, ".xlsb", 50}),
                         [](const auto& param) { return "Index" + std::to_string(param.index); });

TEST_F(ConvertWorkbookTest, UnresolvableSourceStartsNoServer) {
    std::filesystem::remove(fixture.work.Path() / "in" / "Book.xls");
    EXPECT_EQ(ConvertWorkbook(Form(), 1), ConvertResult::SourceMissing);
    EXPECT_TRUE(fixture.server.calls.empty());
    EXPECT_TRUE(fixture.messageBoxes.shown.empty());
}

TEST_F(ConvertWorkbookTest, EachWorkbookGetsItsOwnInstanceQuitBeforeTheNextStarts) {
    ASSERT_EQ(ConvertWorkbook(Form(), 1), ConvertResult::Done);
    ASSERT_EQ(ConvertWorkbook(Form(), 2), ConvertResult::Done);
    EXPECT_EQ(fixture.server.instancesCreated, 2);
    const std::vector<std::string> steps = fixture.server.Steps();
    const auto secondCreate = std::find(steps.begin() + 1, steps.end(), "create");
    ASSERT_NE(secondCreate, steps.end());
    EXPECT_EQ(*(secondCreate - 1), "Quit");
}

}  // namespace
}  // namespace tabrook::convert
