#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "convert/workbook_conversion.h"
#include "platform/automation.h"
#include "support/wine_test_support.h"

namespace tabrook::convert {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using wintest::ScratchFolder;
using wintest::ServerLog;

class ConversionOverCom : public ::testing::Test {
  protected:
    ConvertResult Convert(const std::string& source, const std::string& target, int listIndex) {
        return ConvertWorkbookFile(registry, source, target, listIndex,
                                   [&](const std::string& text) { shown.push_back(text); });
    }
    std::string OpenCall(const std::string& source) const {
        return "call Workbooks.Open(\"" + source + "\")";
    }
    void ExpectEveryProcessEnded() const {
        EXPECT_TRUE(log.EveryProcessEnded()) << "a server process lingers";
    }

    platform::AutomationRegistry registry;  // "Excel.Application" is whatever COM has
    ScratchFolder folder;
    ServerLog log{folder};
    std::vector<std::string> shown;
};

struct FormatCase {
    int listIndex;
    const char* extension;
    int fileFormat;
};

class ConversionFormats : public ConversionOverCom,
                          public ::testing::WithParamInterface<FormatCase> {};

TEST_P(ConversionFormats, MakesTheSevenCallsInOrderWithTheNamedFileFormat) {
    const FormatCase& format = GetParam();
    folder.Write("Quellen \u00E4\\Haushalt 2009.xls", "plain workbook");
    const std::string source = folder.Path("Quellen \u00E4\\Haushalt 2009.xls");
    const std::string target = folder.Path("Haushalt 2009");

    EXPECT_EQ(Convert(source, target, format.listIndex), ConvertResult::Done);

    const std::string code = std::to_string(format.fileFormat);
    const std::string saved = target + format.extension;
    EXPECT_THAT(log.Calls(),
                ElementsAre("create", "get Application.Workbooks", OpenCall(source),
                            "put Application.DisplayAlerts = False",
                            "call Workbook.SaveAs(\"" + saved + "\", FileFormat:=" + code + ")",
                            "call Workbook.Close()", "call Application.Quit()"));
    EXPECT_THAT(folder.Read(std::string("Haushalt 2009") + format.extension),
                HasSubstr("FileFormat=" + code));
    EXPECT_THAT(shown, IsEmpty());
    ExpectEveryProcessEnded();
}

INSTANTIATE_TEST_SUITE_P(Formats, ConversionFormats,
                         ::testing::Values(FormatCase{0, ".xlsx", 51}, FormatCase{1, ".xlsm", 52},
                                           FormatCase{2, ".xlsb", 50},
                                           FormatCase{-1, ".xlsb", 50}));

struct FailureCase {
    const char* name;
    const char* instructions;  // nullptr: the source file does not exist
    ConvertResult result;
    std::vector<std::string> calls;  // after create, Workbooks and Open; "SaveAs" for its line
    const char* shown;               // nullptr: nothing shown
};

class ConversionFailures : public ConversionOverCom,
                           public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ConversionFailures, FollowTheFailurePathOfTheirNumber) {
    const FailureCase& failure = GetParam();
    const std::string source = folder.Path("Book \u00DF.xls");
    if (failure.instructions != nullptr) {
        folder.Write("Book \u00DF.xls", failure.instructions);
    }
    const std::string target = folder.Path("out\u00E9\\Book \u00DF");
    folder.Write("out\u00E9\\keep.txt", "");

    EXPECT_EQ(Convert(source, target, 0), failure.result);

    std::vector<std::string> expected{"create", "get Application.Workbooks", OpenCall(source)};
    for (const std::string& call : failure.calls) {
        expected.push_back(call == "SaveAs"
                               ? "call Workbook.SaveAs(\"" + target + ".xlsx\", FileFormat:=51)"
                               : call);
    }
    EXPECT_THAT(log.Calls(), ElementsAreArray(expected));
    if (failure.shown == nullptr) {
        EXPECT_THAT(shown, IsEmpty());
    } else {
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_THAT(shown[0], HasSubstr(failure.shown));
    }
    ExpectEveryProcessEnded();
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ConversionFailures,
    ::testing::Values(FailureCase{"OpenFails",
                                  nullptr,
                                  ConvertResult::ServerError,
                                  {"call Application.Quit()"},
                                  "could not be found"},
                      FailureCase{"SaveAsFails",
                                  "fail SaveAs 1004 The folder cannot be written.",
                                  ConvertResult::ServerError,
                                  {"put Application.DisplayAlerts = False", "SaveAs",
                                   "call Workbook.Close()", "call Application.Quit()"},
                                  "The folder cannot be written."},
                      FailureCase{"MemberMissing",
                                  "missing DisplayAlerts",
                                  ConvertResult::ServerError,
                                  {"call Workbook.Close()", "call Application.Quit()"},
                                  "Object doesn't support this property or method"},
                      FailureCase{"ServerDiesInSaveAs",
                                  "crash SaveAs",
                                  ConvertResult::TransportFailure,
                                  {"put Application.DisplayAlerts = False", "SaveAs"},
                                  nullptr}),
    [](const ::testing::TestParamInfo<FailureCase>& param) {
        return std::string(param.param.name);
    });

TEST_F(ConversionOverCom, EveryWorkbookHasAnInstanceOfItsOwnQuitBeforeTheNextStarts) {
    folder.Write("A.xls", "plain workbook");
    folder.Write("B.xls", "plain workbook");
    EXPECT_EQ(Convert(folder.Path("A.xls"), folder.Path("A"), 0), ConvertResult::Done);
    EXPECT_EQ(Convert(folder.Path("B.xls"), folder.Path("B"), 0), ConvertResult::Done);

    // Process ids are reused at once under Wine; each instance's own "start" tells them apart.
    // The first one's "exit" may be logged after the second one's "start": the client does
    // not wait for a process to end, only for its Quit to return.
    std::vector<std::string> order;
    int starts = 0;
    for (const wintest::LoggedCall& entry : log.Entries()) {
        starts += entry.text == "start" ? 1 : 0;
        if (entry.text == "create" || entry.text == "call Application.Quit()") {
            order.push_back(entry.text);
        }
    }
    EXPECT_THAT(order, ElementsAre("create", "call Application.Quit()", "create",
                                   "call Application.Quit()"));
    EXPECT_EQ(starts, 2);
    ExpectEveryProcessEnded();
}

TEST_F(ConversionOverCom, AnEmptySourceStartsNoServer) {
    EXPECT_EQ(Convert("", folder.Path("Book"), 0), ConvertResult::SourceMissing);
    EXPECT_THAT(log.Entries(), IsEmpty());
}

}  // namespace
}  // namespace tabrook::convert
