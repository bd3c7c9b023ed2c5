// The shared corpus converted by LibreOffice, then made cell-exact, compared cell by cell
// with the sources through readers that share no code with either (bench/cells_compare.py).
#include <gtest/gtest.h>

#include "calcserver/cellexact/cell_exact.h"
#include "cellexact/office_tools.h"
#include "support/temp_dir.h"

namespace tabrook::calcserver::cellexact {
namespace {

using namespace tabrook::testing::office;
using tabrook::testing::CorpusDir;
using tabrook::testing::TempDir;

TEST(CellExactCorpus, EveryCellOfTheConvertedCorpusHoldsTheSourcesValue) {
    const auto corpus = CorpusDir();
    const std::string python = ReaderPython();
    if (corpus.empty()) {
        GTEST_SKIP() << "the shared corpus (TABROOK_CORPUS) is absent";
    }
    if (!HaveOffice() || python.empty()) {
        GTEST_SKIP() << "soffice or python3 with openpyxl and xlrd is not installed";
    }
    TempDir dir;
    std::vector<std::filesystem::path> sources;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (entry.path().extension() == ".xls") {
            sources.push_back(entry.path());
        }
    }
    const auto converted = dir.MakeDir("converted");
    const auto fixed = dir.MakeDir("fixed");
    ASSERT_TRUE(ConvertWithOffice(sources, "xlsx", converted, dir.Path() / "profile"));

    std::size_t applied = 0;
    std::vector<std::filesystem::path> results;
    for (const auto& source : sources) {
        const auto written = converted / source.stem().concat(".xlsx");
        if (!std::filesystem::exists(written)) {
            continue;
        }
        const auto out = fixed / written.filename();
        const CellExactReport report = ApplyStoredValues(source, written, out);
        applied += report.applied ? 1 : 0;
        EXPECT_TRUE(report.applied || !report.reason.empty()) << source.filename();
        if (report.cellsChanged + report.numbersRefined > 0) {
            results.push_back(out);
        }
    }
    EXPECT_GT(applied, 0u);

    std::string output;
    const int status = RunCommand(
        python + " " + ShellQuote(std::string(TABROOK_SOURCE_DIR) + "/bench/cells_compare.py") +
            " --min-percent 100 --details " + ShellQuote(corpus.string()) + " " +
            ShellQuote(fixed.string()) + " 2>&1",
        &output);
    EXPECT_EQ(status, 0) << output;
    std::cout << output.substr(output.rfind("workbooks ")) << '\n';

    // LibreOffice must still open every package whose cells were rewritten.
    ASSERT_FALSE(results.empty());
    const auto reopened = dir.MakeDir("reopened");
    ASSERT_TRUE(ConvertWithOffice(results, "ods", reopened, dir.Path() / "profile"));
    for (const auto& result : results) {
        EXPECT_TRUE(std::filesystem::exists(reopened / result.stem().concat(".ods")))
            << result.filename();
    }
}

}  // namespace
}  // namespace tabrook::calcserver::cellexact
