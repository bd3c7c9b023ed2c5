#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/automation.h"
#include "support/wine_test_support.h"

namespace tabrook::platform {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using wintest::ScratchFolder;
using wintest::ServerLog;

struct Failure {
    std::int32_t number = 0;
    std::string description;
};

// How `call` fails; number 0 when it does not.
template <typename Call>
Failure FailureOf(Call call) {
    try {
        call();
    } catch (const AutomationError& error) {
        return {error.Number(), error.Description()};
    }
    return {};
}

class ComAutomationTest : public ::testing::Test {
  protected:
    ObjectRef Create() { return registry.CreateObject("Excel.Application"); }
    // The workbook `content` stands for, opened in `application`; its lines may tell the
    // test server to fail.
    ObjectRef OpenWorkbook(const ObjectRef& application, const std::string& content) {
        folder.Write("in\\Book.xls", content);
        return AsObject(AsObject(application->Get("Workbooks"))
                            ->Call("Open", Arguments{{folder.Path("in\\Book.xls")}, {}}));
    }
    bool LogHas(const std::string& text) const {
        for (const wintest::LoggedCall& entry : log.Entries()) {
            if (entry.text == text) {
                return true;
            }
        }
        return false;
    }

    AutomationRegistry registry;  // nothing in-process: every server comes through COM
    ScratchFolder folder;
    ServerLog log{folder};
};

TEST_F(ComAutomationTest, UnregisteredProgIdGives429) {
    const Failure failure = FailureOf([&] { registry.CreateObject("Tabrook.NoSuchServer"); });
    EXPECT_EQ(failure.number, kErrCannotCreateObject);
    EXPECT_EQ(failure.description, kCannotCreateObjectText);
}

TEST_F(ComAutomationTest, PropertiesMethodsAndNamedArgumentsReachTheServerByName) {
    const std::string target = folder.Path("B\u00FCcher \U0001F4C8 1.xlsx");
    {
        ObjectRef application = Create();
        ObjectRef workbook = OpenWorkbook(application, "plain workbook");
        application->Put("DisplayAlerts", false);
        EXPECT_EQ(std::get<bool>(application->Get("DisplayAlerts")), false);
        workbook->Call("SaveAs", Arguments{{target}, {{"FileFormat", 51}}});
    }
    EXPECT_THAT(
        log.Calls(),
        ElementsAre("create", "get Application.Workbooks",
                    "call Workbooks.Open(\"" + folder.Path("in\\Book.xls") + "\")",
                    "put Application.DisplayAlerts = False", "get Application.DisplayAlerts",
                    "call Workbook.SaveAs(\"" + target + "\", FileFormat:=51)"));
    // The member and the argument's name are looked up together, in one request.
    EXPECT_TRUE(LogHas("names Workbook: SaveAs FileFormat"));
    EXPECT_THAT(folder.Read("B\u00FCcher \U0001F4C8 1.xlsx"), HasSubstr("FileFormat=51"));
}

struct ErrorCase {
    const char* name;
    const char* instructions;  // what the workbook asks of the server
    const char* member;
    const char* namedArgument;
    std::int32_t number;  // 0: any negative number
    const char* description;
};

class ComAutomationErrors : public ComAutomationTest,
                            public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(ComAutomationErrors, MapToTheNumbersOfTheAutomationLayer) {
    const ErrorCase& error = GetParam();
    ObjectRef application = Create();
    ObjectRef workbook = OpenWorkbook(application, error.instructions);
    Arguments arguments{{folder.Path("Out.xlsx")}, {}};
    if (*error.namedArgument != '\0') {
        arguments.named.push_back({error.namedArgument, 51});
    }
    const Failure failure = FailureOf([&] { workbook->Call(error.member, arguments); });
    if (error.number == 0) {
        EXPECT_LT(failure.number, 0) << failure.description;
    } else {
        EXPECT_EQ(failure.number, error.number);
        EXPECT_EQ(failure.description, error.description);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ComAutomationErrors,
    ::testing::Values(ErrorCase{"UnknownMember", "", "Activate", "", kErrMemberNotSupported,
                                kMemberNotSupportedText.data()},
                      ErrorCase{"MemberTheServerLacks", "missing SaveAs", "SaveAs", "FileFormat",
                                kErrMemberNotSupported, kMemberNotSupportedText.data()},
                      ErrorCase{"UnknownNamedArgument", "", "SaveAs", "Colour",
                                kErrNamedArgumentNotFound, kNamedArgumentNotFoundText.data()},
                      ErrorCase{"ApplicationError", "fail SaveAs 1004 The disk is full.", "SaveAs",
                                "FileFormat", kErrApplicationDefined, "The disk is full."},
                      ErrorCase{"ServerProcessDies", "crash SaveAs", "SaveAs", "FileFormat", 0,
                                ""}),
    [](const ::testing::TestParamInfo<ErrorCase>& param) { return std::string(param.param.name); });

TEST_F(ComAutomationTest, OpenOfAMissingFileIsTheApplicationsError) {
    ObjectRef application = Create();
    const std::string missing = folder.Path("nowhere.xls");
    const Failure failure = FailureOf([&] {
        AsObject(application->Get("Workbooks"))->Call("Open", Arguments{{missing}, {}});
    });
    EXPECT_EQ(failure.number, kErrApplicationDefined);
    EXPECT_THAT(failure.description, HasSubstr(missing));
}

TEST_F(ComAutomationTest, ReleasingEveryReferenceEndsTheProcessWithOrWithoutQuit) {
    for (const bool quit : {true, false}) {
        {
            ObjectRef application = Create();
            ObjectRef workbook = OpenWorkbook(application, "plain workbook");
            if (quit) {
                application->Call("Quit", {});
            }
        }
        EXPECT_TRUE(log.EveryProcessEnded()) << "Quit: " << quit;
    }
    int starts = 0;
    for (const wintest::LoggedCall& entry : log.Entries()) {
        starts += entry.text == "start" ? 1 : 0;
    }
    EXPECT_EQ(starts, 2) << "every CreateObject starts an instance of its own";
}

TEST_F(ComAutomationTest, AServerThatDiedLeavesNoProcessAndItsObjectsReleaseQuietly) {
    ObjectRef application = Create();
    ObjectRef workbook = OpenWorkbook(application, "crash SaveAs");
    EXPECT_LT(FailureOf([&] {
                  workbook->Call("SaveAs", Arguments{{folder.Path("x.xlsx")}, {}});
              }).number,
              0);
    // Calls on the dead instance fail as the transport's, never hang or crash.
    EXPECT_LT(FailureOf([&] { application->Call("Quit", {}); }).number, 0);
    workbook.reset();
    application.reset();
    EXPECT_TRUE(log.EveryProcessEnded());
}

}  // namespace
}  // namespace tabrook::platform
