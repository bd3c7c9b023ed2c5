// The real workbooks through the server, in each format, counted per kind of object by
// bench/objects_count.py, a reader that shares no code with the converter.

#include <gtest/gtest.h>

#include <iostream>

#include "calcserver/server/register_calc_server.h"
#include "platform/automation.h"
#include "support/prerequisites.h"
#include "support/shell_tools.h"
#include "support/temp_dir.h"

namespace tabrook::calcserver::objects {
namespace {

namespace fs = std::filesystem;
using platform::Arguments;
using platform::AsObject;
using platform::AutomationError;
using tabrook::testing::RunShell;
using tabrook::testing::ShellQuote;
using tabrook::testing::TempDir;

struct FormatRun {
    std::string extension;
    std::int32_t code;
    // Kinds kept in every workbook of the corpus; a workbook that loses one fails the test.
    // (The office still loses some comments, hyperlinks, conditional formats and shapes,
    // each named in the report; the binary writer leaves out validations and autofilters.)
    const char* keptKinds;
};

// The workbooks the server converts, in `out`; a refused one has no result.
void ConvertAll(const std::vector<fs::path>& sources, const fs::path& out, std::int32_t code,
                const std::string& extension) {
    platform::AutomationRegistry registry;
    RegisterCalcServer(registry);
    for (const auto& source : sources) {
        const auto application = registry.CreateObject("Excel.Application");
        try {
            const auto workbook = AsObject(AsObject(application->Get("Workbooks"))
                                               ->Call("Open", Arguments{{source.string()}, {}}));
            const auto target = out / source.stem().concat(extension);
            workbook->Call("SaveAs", Arguments{{target.string()}, {{"FileFormat", code}}});
            workbook->Call("Close", {});
        } catch (const AutomationError&) {
            // Refusals are the server corpus test's concern.
        }
        application->Call("Quit", {});
    }
}

TEST(ObjectsCorpus, EveryEmbeddedObjectControlChartAndPictureOfTheCorpusIsKept) {
    const auto corpus = tabrook::testing::CorpusDir();
    const std::string python = tabrook::testing::DebianPython();
    if (corpus.empty() || RunShell(python + " -c 'import olefile' 2>/dev/null").exitCode != 0) {
        TABROOK_SKIP_UNLESS_CI() << "needs the shared corpus (TABROOK_CORPUS) and python3 with "
                                    "olefile";
    }
    std::vector<fs::path> sources;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        if (entry.path().extension() == ".xls") {
            sources.push_back(entry.path());
        }
    }
    TempDir dir;
    const FormatRun runs[] = {
        {".xlsx", 51,
         "charts,pictures,embedded,activex,formcontrols,controllinks,merged,validations,"
         "autofilters,frozenpanes"},
        {".xlsm", 52,
         "charts,pictures,embedded,activex,formcontrols,controllinks,merged,validations,"
         "autofilters,frozenpanes"},
        {".xlsb", 50,
         "charts,pictures,embedded,activex,formcontrols,controllinks,merged,frozenpanes"},
    };
    for (const FormatRun& run : runs) {
        const auto out = dir.MakeDir("converted" + run.extension);
        ConvertAll(sources, out, run.code, run.extension);
        const auto [status, output] =
            RunShell(python + " " + ShellQuote(TABROOK_SOURCE_DIR "/bench/objects_count.py") +
                     " --details --no-empty-anchors --require-kept " + run.keptKinds + " --ext " +
                     run.extension.substr(1) + " " + ShellQuote(corpus.string()) + " " +
                     ShellQuote(out.string()) + " 2>&1");
        EXPECT_EQ(status, 0) << run.extension << '\n' << output;
        std::cout << run.extension << ":\n" << output.substr(output.find("kind ")) << '\n';
    }
}

}  // namespace
}  // namespace tabrook::calcserver::objects
