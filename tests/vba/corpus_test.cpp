// The real workbooks with VBA projects, converted by the engine as the server does, then
// carried over and read back by an independent checker and by the engine itself.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <sstream>

#include "calcserver/vba/carry_vba_project.h"
#include "support/prerequisites.h"
#include "support/shell_tools.h"
#include "support/temp_dir.h"
#include "vba/checker.h"

namespace tabrook::calcserver::vba {
namespace {

using tabrook::testing::CorpusDir;
using tabrook::testing::ShellQuote;
using tabrook::testing::TempDir;
using testing::RunChecker;

// One engine start for all files, with a private profile; the results that are there.
std::vector<std::filesystem::path> Convert(const std::vector<std::filesystem::path>& files,
                                           const std::string& filter,
                                           const std::filesystem::path& outDir,
                                           const TempDir& dir) {
    return tabrook::testing::ConvertWithOffice(files, filter, outDir, dir.Path() / "profile");
}

TEST(VbaCorpus, ProjectsAndCodeNamesSurviveTheConversion) {
    const auto corpus = CorpusDir();
    if (corpus.empty() || std::system("command -v soffice > /dev/null 2>&1") != 0) {
        TABROOK_SKIP_UNLESS_CI() << "needs the shared corpus and LibreOffice";
    }
    TempDir dir;
    const auto listed = RunChecker("--list " + ShellQuote(corpus.string()));
    std::vector<std::filesystem::path> sources;
    std::istringstream names(listed.output);
    for (std::string name; listed.passed && std::getline(names, name);) {
        sources.push_back(corpus / name);
    }
    ASSERT_NE(std::find(sources.begin(), sources.end(), corpus / "SimpleMacro.xls"), sources.end());

    const auto converted = dir.MakeDir("converted");
    // A workbook the office cannot open (a password, damage) has no result to carry into.
    ASSERT_FALSE(Convert(sources, "xlsm:Calc MS Excel 2007 VBA XML", converted, dir).empty());
    std::vector<std::filesystem::path> packages;
    for (const auto& source : sources) {
        const auto package = converted / source.filename().replace_extension(".xlsm");
        if (!std::filesystem::exists(package)) {
            std::cout << source.filename().string() << ": not opened by the office\n";
            continue;
        }
        const VbaReport report = CarryVbaProject(source, package, package, true);
        EXPECT_TRUE(report.projectCarried) << source;
        packages.push_back(package);
        // Only the sample's sheets all survive as the kind they were.
        const bool allBound = source.filename() == "SimpleMacro.xls";
        const auto check =
            RunChecker("--package " + ShellQuote(source.string()) + " " +
                       ShellQuote(package.string()) + (allBound ? " --all-bound" : ""));
        EXPECT_TRUE(check.passed) << source << ": " << check.output;
        std::cout << source.filename().string() << ": " << check.output;  // the figures
    }

    const auto reread = dir.MakeDir("reread");
    Convert(packages, "xlsx:Calc MS Excel 2007 XML", reread, dir);
    for (const auto& package : packages) {
        EXPECT_TRUE(std::filesystem::exists(reread / package.filename().replace_extension(".xlsx")))
            << package << " was not read back";
    }
}

}  // namespace
}  // namespace tabrook::calcserver::vba
