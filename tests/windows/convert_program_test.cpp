// tabrook-convert.exe as a user runs it, against the test server registered as
// "Excel.Application": what it asks of the application, what it prints and reports, and
// the exit statuses.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "support/wine_test_support.h"

namespace tabrook::cli {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using wintest::ScratchFolder;
using wintest::ServerLog;

const std::string kSource = "Quellen\\Haushalt \u00E4 2009.xls";
const std::string kOut = "Ausgabe \u00DF";

class ConvertProgram : public ::testing::Test {
  protected:
    wintest::ProgramRun Run(std::vector<std::string> arguments) const {
        return wintest::RunProgram("tabrook-convert", arguments, folder);
    }
    // One workbook whose content tells the test server how to behave.
    wintest::ProgramRun Convert(const std::string& instructions,
                                const std::string& format = "xlsx") {
        folder.Write(kSource, instructions);
        return Run({"--out", folder.Path(kOut), "--format", format, "--report",
                    folder.Path("report.jsonl"), folder.Path(kSource)});
    }
    std::string Target(const std::string& name) const { return folder.Path(kOut + "\\" + name); }
    void ExpectNoServerLeft() const {
        EXPECT_TRUE(log.EveryProcessEnded()) << "a server process lingers";
    }

    ScratchFolder folder;
    ServerLog log{folder};
};

struct FormatCase {
    const char* option;
    const char* extension;
    int fileFormat;
};

class ConvertProgramFormats : public ConvertProgram,
                              public ::testing::WithParamInterface<FormatCase> {};

TEST_P(ConvertProgramFormats, SavesThroughTheApplicationWithTheNamedFileFormat) {
    const FormatCase& format = GetParam();
    const wintest::ProgramRun run = Convert("plain workbook", format.option);

    EXPECT_EQ(run.exitCode, 0u) << run.output;
    const std::string code = std::to_string(format.fileFormat);
    const std::string saved = Target(std::string("Haushalt \u00E4 2009") + format.extension);
    // The application writes the format itself: no report asked for, no step after Quit.
    EXPECT_THAT(log.Calls(),
                ElementsAre("create", "get Application.Workbooks",
                            "call Workbooks.Open(\"" + folder.Path(kSource) + "\")",
                            "put Application.DisplayAlerts = False",
                            "call Workbook.SaveAs(\"" + saved + "\", FileFormat:=" + code + ")",
                            "call Workbook.Close()", "call Application.Quit()"));
    EXPECT_THAT(folder.Read(kOut + "\\Haushalt \u00E4 2009" + format.extension),
                HasSubstr("FileFormat=" + code));
    EXPECT_THAT(run.output, HasSubstr("converted: " + folder.Path(kSource) + " -> " + saved));
    EXPECT_THAT(folder.Read("report.jsonl"), HasSubstr("\"result\":\"converted\""));
    ExpectNoServerLeft();
}

INSTANTIATE_TEST_SUITE_P(Formats, ConvertProgramFormats,
                         ::testing::Values(FormatCase{"xlsx", ".xlsx", 51},
                                           FormatCase{"xlsm", ".xlsm", 52},
                                           FormatCase{"xlsb", ".xlsb", 50}));

TEST_F(ConvertProgram, SavesUnderAFreeNameAndNeverOverAnythingThere) {
    folder.Write(kOut + "\\Haushalt \u00E4 2009.xlsx", "an earlier result");
    folder.Write(kOut + "\\Haushalt \u00E4 20091\\inside.txt", "a folder in the way");

    const wintest::ProgramRun run = Convert("plain workbook");

    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_THAT(folder.Read(kOut + "\\Haushalt \u00E4 200912.xlsx"), HasSubstr("FileFormat=51"));
    EXPECT_EQ(folder.Read(kOut + "\\Haushalt \u00E4 2009.xlsx"), "an earlier result");
    ExpectNoServerLeft();
}

struct FailureCase {
    const char* name;
    const char* instructions;
    const char* message;  // in the printed line and the report
    const char* error;    // how the report's "error" field begins
};

class ConvertProgramFailures : public ConvertProgram,
                               public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ConvertProgramFailures, ReportTheApplicationsWordsAndExitWithOne) {
    const FailureCase& failure = GetParam();
    const wintest::ProgramRun run = Convert(failure.instructions);

    EXPECT_EQ(run.exitCode, 1u) << run.output;
    EXPECT_THAT(run.output, HasSubstr("failed: " + folder.Path(kSource) + ": " + failure.message));
    EXPECT_THAT(
        folder.Read("report.jsonl"),
        AllOf(HasSubstr("\"result\":\"failed\""),
              HasSubstr(std::string("\"error\":") + failure.error), HasSubstr(failure.message)));
    EXPECT_FALSE(folder.Exists(kOut + "\\Haushalt \u00E4 2009.xlsx"));
    ExpectNoServerLeft();
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ConvertProgramFailures,
    ::testing::Values(FailureCase{"OpenFails", "fail Open 1004 The file is damaged.",
                                  "The file is damaged.", "1004"},
                      FailureCase{"SaveAsFails", "fail SaveAs 1004 The folder cannot be written.",
                                  "The folder cannot be written.", "1004"},
                      // A transport failure: a negative HRESULT, whichever the system gives.
                      FailureCase{"ServerDies", "crash SaveAs", "Automation error", "-"}),
    [](const ::testing::TestParamInfo<FailureCase>& param) {
        return std::string(param.param.name);
    });

TEST_F(ConvertProgram, RelativePathsReachTheApplicationAsFullOnes) {
    // The application reads a relative path against its own folder, not the user's.
    folder.Write(kSource, "plain workbook");
    const wintest::ProgramRun run = wintest::RunProgram(
        "tabrook-convert", {"--out", kOut, "--format", "xlsm", kSource}, folder, true);

    EXPECT_EQ(run.exitCode, 0u) << run.output;
    const std::vector<std::string> calls = log.Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(),
                        "call Workbooks.Open(\"" + folder.Path(kSource) + "\")"),
              calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(),
                        "call Workbook.SaveAs(\"" + Target("Haushalt \u00E4 2009.xlsm") +
                            "\", FileFormat:=52)"),
              calls.end());
    ExpectNoServerLeft();
}

TEST_F(ConvertProgram, BadUsageExitsWithTwoAndStartsNoServer) {
    folder.Write(kSource, "plain workbook");
    const wintest::ProgramRun run = Run({"--format", "csv", folder.Path(kSource)});
    EXPECT_EQ(run.exitCode, 2u) << run.output;
    EXPECT_THAT(run.output, HasSubstr("--help"));
    EXPECT_THAT(log.Entries(), IsEmpty());
}

TEST_F(ConvertProgram, JobsGiveEveryWorkbookAnInstanceOfItsOwnAndEveryOneEnds) {
    for (const char* name : {"a.xls", "b.xls", "c.xls", "d.xls"}) {
        folder.Write(std::string("Quellen\\") + name, "plain workbook");
    }
    const wintest::ProgramRun run =
        Run({"--out", folder.Path(kOut), "--jobs", "2", folder.Path("Quellen")});

    EXPECT_EQ(run.exitCode, 0u) << run.output;
    const std::vector<std::string> calls = log.Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "create"), 4);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "call Application.Quit()"), 4);
    for (const char* name : {"a.xlsx", "b.xlsx", "c.xlsx", "d.xlsx"}) {
        EXPECT_TRUE(folder.Exists(kOut + "\\" + name)) << name;
    }
    ExpectNoServerLeft();
}

}  // namespace
}  // namespace tabrook::cli
