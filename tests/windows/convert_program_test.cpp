#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "convert/workbook_conversion.h"
#include "support/wine_test_support.h"

namespace tabrook::convert {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using wintest::ScratchFolder;
using wintest::ServerLog;

class ConvertProgram : public ::testing::Test {
  protected:
    wintest::ProgramRun Convert(const std::string& instructions) {
        folder.Write("Quellen\\Haushalt \u00E4 2009.xls", instructions);
        folder.Write("Ausgabe \u00DF\\keep.txt", "");
        return wintest::RunProgram(
            "convert_driver",
            {"0", folder.Path("Quellen\\Haushalt \u00E4 2009.xls"), folder.Path("Ausgabe \u00DF")},
            folder);
    }
    void ExpectNoServerLeft() const {
        EXPECT_TRUE(log.EveryProcessEnded()) << "a server process lingers";
    }

    ScratchFolder folder;
    ServerLog log{folder};
};

TEST_F(ConvertProgram, SavesUnderAFreeNameAndNeverOverAnythingThere) {
    folder.Write("Ausgabe \u00DF\\Haushalt \u00E4 2009.xlsx", "an earlier result");
    folder.Write("Ausgabe \u00DF\\Haushalt \u00E4 20091\\inside.txt", "a folder in the way");

    const wintest::ProgramRun run = Convert("plain workbook");

    EXPECT_EQ(run.exitCode, static_cast<DWORD>(ConvertResult::Done)) << run.output;
    const std::string saved = folder.Path("Ausgabe \u00DF\\Haushalt \u00E4 200912.xlsx");
    EXPECT_THAT(log.Calls(),
                ElementsAre("create", "get Application.Workbooks",
                            "call Workbooks.Open(\"" +
                                folder.Path("Quellen\\Haushalt \u00E4 2009.xls") + "\")",
                            "put Application.DisplayAlerts = False",
                            "call Workbook.SaveAs(\"" + saved + "\", FileFormat:=51)",
                            "call Workbook.Close()", "call Application.Quit()"));
    EXPECT_THAT(folder.Read("Ausgabe \u00DF\\Haushalt \u00E4 200912.xlsx"),
                HasSubstr("FileFormat=51"));
    EXPECT_EQ(folder.Read("Ausgabe \u00DF\\Haushalt \u00E4 2009.xlsx"), "an earlier result");
    ExpectNoServerLeft();
}

TEST_F(ConvertProgram, ReportsTheServersErrorAndItsResult) {
    const wintest::ProgramRun run = Convert("fail Open 1004 The file is damaged.");
    EXPECT_EQ(run.exitCode, static_cast<DWORD>(ConvertResult::ServerError));
    EXPECT_THAT(run.output, HasSubstr("server: The file is damaged."));
    EXPECT_FALSE(folder.Exists("Ausgabe \u00DF\\Haushalt \u00E4 2009.xlsx"));
    ExpectNoServerLeft();
}

TEST_F(ConvertProgram, AServerThatDiesEndsTheConversionWithoutAWord) {
    const wintest::ProgramRun run = Convert("crash SaveAs");
    EXPECT_EQ(run.exitCode, static_cast<DWORD>(ConvertResult::TransportFailure));
    EXPECT_THAT(run.output, Not(HasSubstr("server:")));
    ExpectNoServerLeft();
}

}  // namespace
}  // namespace tabrook::convert
