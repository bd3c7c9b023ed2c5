// The real server on workbooks the tests make: what it writes, what it refuses, and that
// no office process is ever left behind.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <fstream>
#include <optional>
#include <thread>

#include "calcserver/calc_fixtures.h"
#include "calcserver/package/zip_package.h"
#include "calcserver/server/register_calc_server.h"
#include "platform/automation.h"
#include "support/temp_dir.h"

namespace tabrook::calcserver {
namespace {

using platform::Arguments;
using platform::AsObject;
using platform::AutomationError;
using platform::AutomationRegistry;
using platform::ObjectRef;
using testing::OfficeChildren;
using testing::TempDir;

struct Outcome {
    std::int32_t number = 0;  // 0: converted
    std::string description;
};

// The program's own sequence of calls, with its failure path.
Outcome Convert(const AutomationRegistry& registry, const std::filesystem::path& source,
                const std::filesystem::path& target, std::int32_t code) {
    ObjectRef application;
    ObjectRef workbook;
    try {
        application = registry.CreateObject("Excel.Application");
        workbook = AsObject(AsObject(application->Get("Workbooks"))
                                ->Call("Open", Arguments{{source.string()}, {}}));
        application->Put("DisplayAlerts", false);
        workbook->Call("SaveAs", Arguments{{target.string()}, {{"FileFormat", code}}});
        workbook->Call("Close", {});
        application->Call("Quit", {});
        return {};
    } catch (const AutomationError& error) {
        if (error.Number() > 0) {
            if (workbook) {
                workbook->Call("Close", {});
            }
            if (application) {
                application->Call("Quit", {});
            }
        }
        return {error.Number(), error.Description()};
    }
}

pid_t OnlyOfficeChild() {
    const auto children = OfficeChildren();
    return children.size() == 1 ? children.front() : -1;
}

class CalcServerTest : public ::testing::Test {
  protected:
    void SetUp() override { RegisterCalcServer(registry_); }

    AutomationRegistry registry_;
    TempDir dir_;
};

TEST_F(CalcServerTest, ConvertsValuesFormulasAndSheetNamesInBothFormats) {
    // A name with a space and non-ASCII letters must reach the office unchanged.
    const auto source = dir_.Path() / "Preise Übersicht.xls";
    std::filesystem::copy_file(testing::SampleWorkbook(), source);
    for (const auto& [code, extension] : {std::pair{51, ".xlsx"}, std::pair{52, ".xlsm"}}) {
        SCOPED_TRACE(extension);
        const auto target = dir_.Path() / (std::string("out") + extension);
        const Outcome outcome = Convert(registry_, source, target, code);
        ASSERT_EQ(outcome.number, 0) << outcome.description;
        const auto cells = testing::ReadBack(target);
        EXPECT_EQ(cells.at("#sheets"), "Prices,Notes");
        EXPECT_EQ(cells.at("Prices!A1"), "Item");
        EXPECT_EQ(cells.at("Prices!B1"), "2.5");
        EXPECT_EQ(cells.at("Prices!C1"), "=B1*4");
        EXPECT_EQ(cells.at("Prices!C1#value"), "10");
        EXPECT_EQ(cells.at("Notes!A1"), "Grüße");
    }
    // The binary workbook comes from our own writer, as a complete package.
    const auto binary = dir_.Path() / "out.xlsb";
    const Outcome outcome = Convert(registry_, source, binary, 50);
    ASSERT_EQ(outcome.number, 0) << outcome.description;
    const calcserver::package::ZipReader package(binary);
    EXPECT_TRUE(package.Has("xl/workbook.bin"));
    EXPECT_TRUE(package.Has("xl/worksheets/sheet2.bin"));
    EXPECT_FALSE(package.Has("xl/workbook.xml"));
    // Nothing but the source and the three results in the folder: no temporary files.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()),
                            std::filesystem::directory_iterator()),
              4);
}

TEST_F(CalcServerTest, RefusesWhatIsNotAReadableWorkbookAndReusesTheProcess) {
    const std::string sample = [] {
        std::ifstream in(testing::SampleWorkbook(), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }();
    const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\1\0\0\0\1\x08\x02\0\0\0", 29);
    struct Case {
        const char* name;
        std::optional<std::string> content;  // empty: the file does not exist
        const char* reason;
    };
    const Case cases[] = {
        {"missing.xls", std::nullopt, "the file does not exist."},
        {"empty.xls", "", "the file is empty."},
        {"text.xls", "a,b,c\n1,2,3\n", "not an Excel workbook"},
        {"picture.xls", png, "not an Excel workbook"},
        {"random.xls", std::string(4000, '\x5A') + "\x01\xFF", "not an Excel workbook"},
        {"truncated.xls", sample.substr(0, sample.size() / 2), "not an Excel workbook"},
        {"locked.xls", testing::PasswordProtectedBytes(), "protected by a password."},
    };
    pid_t office = -1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto source = dir_.Path() / c.name;
        if (c.content) {
            dir_.Write(c.name, *c.content);
        }
        const Outcome outcome = Convert(registry_, source, dir_.Path() / "out.xlsx", 51);
        EXPECT_EQ(outcome.number, platform::kErrApplicationDefined);
        EXPECT_NE(outcome.description.find("'" + source.string() + "'"), std::string::npos)
            << outcome.description;
        EXPECT_NE(outcome.description.find(c.reason), std::string::npos) << outcome.description;
        EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "out.xlsx"));
        // After Quit the one process is kept idle and serves the next instance.
        const pid_t idle = OnlyOfficeChild();
        EXPECT_GT(idle, 0);
        if (office > 0) {
            EXPECT_EQ(idle, office);
        }
        office = idle;
    }
    // Quit also closes a workbook left open, and the process stays for the next instance,
    // in which a sound workbook still converts.
    {
        const ObjectRef application = registry_.CreateObject("Excel.Application");
        AsObject(application->Get("Workbooks"))
            ->Call("Open", Arguments{{testing::SampleWorkbook().string()}, {}});
        application->Call("Quit", {});
    }
    EXPECT_EQ(OnlyOfficeChild(), office);
    EXPECT_EQ(Convert(registry_, testing::SampleWorkbook(), dir_.Path() / "ok.xlsx", 51).number, 0);
    EXPECT_EQ(OnlyOfficeChild(), office);
}

TEST_F(CalcServerTest, RefusesTargetsItCannotOrMustNotWrite) {
    const auto source = dir_.Path() / "book.xls";
    std::filesystem::copy_file(testing::SampleWorkbook(), source);
    dir_.Write("plain-file", "x");
    dir_.MakeDir("taken.xlsx");
    struct Case {
        std::filesystem::path target;
        std::int32_t code;
        const char* reason;
    };
    const Case cases[] = {
        {dir_.Path() / "no-such-folder" / "out.xlsb", 50, "does not exist"},
        {dir_.Path() / "out.xls", 56, "file format 56 is not supported"},
        {dir_.Path() / "no-such-folder" / "out.xlsx", 51, "does not exist"},
        {dir_.Path() / "plain-file" / "out.xlsx", 51, "is not a folder"},
        {dir_.Path() / "taken.xlsx", 51, "a folder of that name"},
        {source, 51, "never saved over"},
        {"/proc/out.xlsx", 51, "cannot be written"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target.string());
        const Outcome outcome = Convert(registry_, source, c.target, c.code);
        EXPECT_EQ(outcome.number, platform::kErrApplicationDefined);
        EXPECT_NE(outcome.description.find(c.reason), std::string::npos) << outcome.description;
    }
    // The source is untouched and no stray file was left anywhere we tried.
    EXPECT_EQ(std::filesystem::file_size(source),
              std::filesystem::file_size(testing::SampleWorkbook()));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()),
                            std::filesystem::directory_iterator()),
              3);
    EXPECT_LE(OfficeChildren().size(), 1u);
}

TEST_F(CalcServerTest, AnswersMembersByNameInAnyCaseAndRefusesOthers) {
    const ObjectRef application = registry_.CreateObject("Excel.Application");
    const ObjectRef workbooks = AsObject(application->Get("WORKBOOKS"));
    application->Put("displayalerts", false);
    EXPECT_EQ(std::get<bool>(application->Get("DisplayAlerts")), false);
    const ObjectRef workbook = AsObject(
        workbooks->Call("open", Arguments{{}, {{"Filename", testing::SampleWorkbook().string()}}}));
    // FileFormat positional works as well as named.
    const auto target = dir_.Path() / "positional.xlsx";
    workbook->Call("saveas", Arguments{{target.string(), 51}, {}});
    EXPECT_TRUE(std::filesystem::exists(target));

    const auto expectError = [](std::int32_t number, const auto& call) {
        try {
            call();
            ADD_FAILURE() << "no error";
        } catch (const AutomationError& error) {
            EXPECT_EQ(error.Number(), number) << error.Description();
        }
    };
    expectError(438, [&] { application->Get("Visible"); });
    expectError(438, [&] { application->Put("Visible", true); });
    expectError(438, [&] { application->Call("Calculate", {}); });
    expectError(438, [&] { workbooks->Call("Add", {}); });
    expectError(438, [&] { workbook->Get("Name"); });
    expectError(438, [&] { workbook->Call("Save", {}); });
    expectError(448, [&] {
        workbook->Call("SaveAs", Arguments{{target.string()}, {{"Format", 51}}});
    });
    expectError(13, [&] {
        workbook->Call("SaveAs", Arguments{{target.string()}, {{"FileFormat", "x"}}});
    });
    expectError(449, [&] { workbooks->Call("Open", {}); });
    workbook->Call("CLOSE", {});
    application->Call("quit", {});
    expectError(platform::kErrServerUnavailable, [&] {
        workbooks->Call("Open", Arguments{{"x.xls"}, {}});
    });
}

TEST_F(CalcServerTest, ReleasingTheReferencesWithoutQuitEndsTheProcess) {
    {
        const ObjectRef application = registry_.CreateObject("Excel.Application");
        AsObject(AsObject(application->Get("Workbooks"))
                     ->Call("Open", Arguments{{testing::SampleWorkbook().string()}, {}}));
        ASSERT_EQ(OfficeChildren().size(), 1u);
    }
    EXPECT_TRUE(OfficeChildren().empty());
}

TEST(CalcServerTransport, OfficeKilledDuringACallGivesANegativeErrorAndTheNextConversionWorks) {
    AutomationRegistry registry;
    RegisterCalcServer(registry);
    TempDir dir;
    const ObjectRef application = registry.CreateObject("Excel.Application");
    const pid_t office = OnlyOfficeChild();
    ASSERT_GT(office, 0);
    // Stopped, the office cannot answer; killed while the call waits, it breaks the link.
    ::kill(office, SIGSTOP);
    std::thread killer([office] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::kill(office, SIGKILL);
    });
    try {
        AsObject(application->Get("Workbooks"))
            ->Call("Open", Arguments{{testing::SampleWorkbook().string()}, {}});
        ADD_FAILURE() << "Open succeeded on a killed office";
    } catch (const AutomationError& error) {
        EXPECT_LT(error.Number(), 0) << error.Description();
    }
    killer.join();
    EXPECT_TRUE(OfficeChildren().empty());
    EXPECT_EQ(Convert(registry, testing::SampleWorkbook(), dir.Path() / "next.xlsx", 51).number, 0);
}

TEST(CalcServerTransport, ACallOverItsTimeLimitGivesANegativeErrorAndKillsTheOffice) {
    AutomationRegistry registry;
    CalcServerOptions options;
    options.limits.call = std::chrono::milliseconds(500);
    RegisterCalcServer(registry, options);
    const ObjectRef application = registry.CreateObject("Excel.Application");
    const pid_t office = OnlyOfficeChild();
    ASSERT_GT(office, 0);
    ::kill(office, SIGSTOP);
    try {
        AsObject(application->Get("Workbooks"))
            ->Call("Open", Arguments{{testing::SampleWorkbook().string()}, {}});
        ADD_FAILURE() << "Open succeeded on a stopped office";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.Number(), platform::kErrCallTimedOut) << error.Description();
    }
    EXPECT_TRUE(OfficeChildren().empty());
    // The instance is finished: later calls fail at once, still without a prompt.
    try {
        application->Call("Quit", {});
        ADD_FAILURE() << "Quit succeeded on a killed office";
    } catch (const AutomationError& error) {
        EXPECT_LT(error.Number(), 0);
    }
}

}  // namespace
}  // namespace tabrook::calcserver
