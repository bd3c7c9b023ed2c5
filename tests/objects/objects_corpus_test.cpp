// The real workbooks through the office and the finishing steps, counted per kind of object
// by bench/objects_count.py, a reader that shares no code with the converter.

#include <gtest/gtest.h>

#include <iostream>

#include "calcserver/finish/finish_package.h"
#include "support/prerequisites.h"
#include "support/shell_tools.h"
#include "support/temp_dir.h"

namespace tabrook::calcserver::objects {
namespace {

namespace fs = std::filesystem;
using tabrook::testing::RunShell;
using tabrook::testing::ShellQuote;
using tabrook::testing::TempDir;

// Kinds the office and the finishing steps keep in every workbook of the corpus; a
// workbook that loses one fails the test. (The office still loses some form controls,
// comments, hyperlinks, conditional formats and frozen panes.)
constexpr const char* kKeptKinds =
    "charts,pictures,embedded,activex,merged,validations,autofilters";

struct Run {
    std::string format;  // what --convert-to takes
    std::string extension;
    std::int32_t code;
};

TEST(ObjectsCorpus, EveryEmbeddedObjectControlChartAndPictureOfTheCorpusIsKept) {
    const auto corpus = tabrook::testing::CorpusDir();
    const std::string python = tabrook::testing::DebianPython();
    if (corpus.empty() || !tabrook::testing::HasCommand("soffice") ||
        RunShell(python + " -c 'import olefile' 2>/dev/null").exitCode != 0) {
        TABROOK_SKIP_UNLESS_CI() << "needs the shared corpus (TABROOK_CORPUS), soffice and "
                                    "python3 with olefile";
    }
    TempDir dir;
    std::vector<fs::path> sources;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        if (entry.path().extension() == ".xls") {
            sources.push_back(entry.path());
        }
    }
    const Run runs[] = {{"xlsx", ".xlsx", 51}, {"xlsm:Calc MS Excel 2007 VBA XML", ".xlsm", 52}};
    for (const Run& run : runs) {
        const auto converted = dir.MakeDir("office" + run.extension);
        const auto finished = dir.MakeDir("finished" + run.extension);
        const auto written = tabrook::testing::ConvertWithOffice(sources, run.format, converted,
                                                                 dir.Path() / "profile");
        ASSERT_GT(written.size(), sources.size() * 9 / 10) << "the office converted hardly any";
        for (const auto& source : sources) {
            const auto office = converted / source.stem().concat(run.extension);
            if (!fs::exists(office)) {
                continue;
            }
            const auto target = finished / office.filename();
            try {
                finish::FinishPackage({source, office, run.code, target});
            } catch (const platform::AutomationError& error) {
                ADD_FAILURE() << source.filename() << ": " << error.Description();
            }
        }
        const auto [status, output] =
            RunShell(python + " " + ShellQuote(TABROOK_SOURCE_DIR "/bench/objects_count.py") +
                     " --details --no-empty-anchors --require-kept " + kKeptKinds + " --ext " +
                     run.extension.substr(1) + " " + ShellQuote(corpus.string()) + " " +
                     ShellQuote(finished.string()) + " 2>&1");
        EXPECT_EQ(status, 0) << output;
        std::cout << run.extension << ":\n" << output.substr(output.find("kind ")) << '\n';
    }
}

}  // namespace
}  // namespace tabrook::calcserver::objects
