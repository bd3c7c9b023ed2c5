// The shared corpus of real-world workbooks through the server, to .xlsx.

#include <gtest/gtest.h>

#include <iostream>
#include <set>
#include <string>

#include "calcserver/calc_fixtures.h"
#include "calcserver/server/register_calc_server.h"
#include "platform/automation.h"
#include "support/prerequisites.h"
#include "support/temp_dir.h"

namespace tabrook::calcserver {
namespace {

using platform::Arguments;
using platform::AsObject;
using platform::AutomationError;

TEST(CalcServerCorpus, ConvertsOrRefusesEveryWorkbookPlainly) {
    const auto corpus = testing::CorpusDir();
    if (corpus.empty()) {
        TABROOK_SKIP_UNLESS_CI() << "the workbook corpus is absent (TABROOK_CORPUS)";
    }
    platform::AutomationRegistry registry;
    RegisterCalcServer(registry);
    testing::TempDir out;
    // The corpus's damaged and protected workbooks; every other one must convert.
    const std::set<std::string> unopenable{
        "51832.xls",  // protected by a password
        "clusterfuzz-testcase-minimized-POIHSSFFuzzer-4657005060816896.xls",
        "clusterfuzz-testcase-minimized-POIHSSFFuzzer-4819588401201152.xls",
        "clusterfuzz-testcase-minimized-POIHSSFFuzzer-6137883240824832.xls",
        "clusterfuzz-testcase-minimized-POIHSSFFuzzer-6322470200934400.xls",
        "clusterfuzz-testcase-minimized-POIHSSFFuzzer-6537773940867072.xls",
    };
    std::set<std::string> refused;
    int total = 0;
    int converted = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (entry.path().extension() != ".xls") {
            continue;
        }
        ++total;
        SCOPED_TRACE(entry.path().string());
        const auto target = out.Path() / (entry.path().stem().string() + ".xlsx");
        const auto application = registry.CreateObject("Excel.Application");
        try {
            const auto workbook =
                AsObject(AsObject(application->Get("Workbooks"))
                             ->Call("Open", Arguments{{entry.path().string()}, {}}));
            workbook->Call("SaveAs", Arguments{{target.string()}, {{"FileFormat", 51}}});
            workbook->Call("Close", {});
            ++converted;
            EXPECT_GT(std::filesystem::file_size(target), 0u);
        } catch (const AutomationError& error) {
            // A workbook may be refused, but only as an application error that names it or
            // the file it was to be saved as.
            EXPECT_EQ(error.Number(), platform::kErrApplicationDefined) << error.Description();
            const std::string& said = error.Description();
            EXPECT_TRUE(said.find(entry.path().string()) != std::string::npos ||
                        said.find(target.string()) != std::string::npos)
                << said;
            EXPECT_FALSE(std::filesystem::exists(target));
            refused.insert(entry.path().filename().string());
        }
        application->Call("Quit", {});
    }
    std::cout << "converted " << converted << " of " << total << " corpus workbooks\n";
    RecordProperty("converted", converted);
    EXPECT_EQ(refused, unopenable);
    EXPECT_EQ(converted + static_cast<int>(unopenable.size()), total);
    EXPECT_LE(testing::OfficeChildren().size(), 1u);
}

}  // namespace
}  // namespace tabrook::calcserver
