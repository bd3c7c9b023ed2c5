// The real workbooks with VBA projects, converted by the engine as the server does and then
// carried over; the results are read back by independent readers (olefile, Python's zip and
// XML modules) and by the engine itself.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>

#include "calcserver/vba/carry_vba_project.h"
#include "support/temp_dir.h"

namespace tabrook::calcserver::vba {
namespace {

using tabrook::testing::CorpusDir;
using tabrook::testing::TempDir;

std::string Quoted(const std::string& argument) {
    std::string quoted = "'";
    for (const char c : argument) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// Runs a command line, returning what it printed, or nullopt when it failed.
std::optional<std::string> RunCommand(const std::string& command, const TempDir& dir) {
    const auto output = dir.Path() / "command-output.txt";
    if (std::system((command + " > " + Quoted(output.string()) + " 2>&1").c_str()) != 0) {
        return std::nullopt;
    }
    std::ifstream in(output);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Python() {
    // Debian's interpreter is the one with python3-olefile.
    return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

// Converts all workbooks in one engine start; the private profile keeps a running user
// instance out of it, and timeout ends the whole process group if the engine hangs.
bool Convert(const std::vector<std::filesystem::path>& files, const std::string& filter,
             const std::filesystem::path& outDir, const TempDir& dir) {
    std::string command =
        "timeout -k 10 240 soffice --headless --norestore " +
        Quoted("-env:UserInstallation=file://" + (dir.Path() / "profile").string()) +
        " --convert-to " + Quoted(filter) + " --outdir " + Quoted(outDir.string());
    for (const auto& file : files) {
        command += " " + Quoted(file.string());
    }
    return RunCommand(command, dir).has_value();
}

std::map<std::string, std::string> Check(const std::filesystem::path& source,
                                         const std::filesystem::path& package, const TempDir& dir) {
    const auto printed = RunCommand(Python() + " " + Quoted(TABROOK_VBA_CHECK_SCRIPT) + " " +
                                        Quoted(source.string()) + " " + Quoted(package.string()),
                                    dir);
    std::map<std::string, std::string> values;
    std::istringstream lines(printed.value_or(""));
    for (std::string line; std::getline(lines, line);) {
        const auto equals = line.find('=');
        if (equals != std::string::npos) {
            values[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return values;
}

TEST(VbaCorpus, ProjectsAndCodeNamesSurviveTheConversion) {
    const auto corpus = CorpusDir();
    if (corpus.empty() || std::system("command -v soffice > /dev/null 2>&1") != 0) {
        GTEST_SKIP() << "needs the shared corpus and LibreOffice";
    }
    TempDir dir;
    const auto listed = RunCommand(
        Python() + " " + Quoted(TABROOK_VBA_CHECK_SCRIPT) + " --list " + Quoted(corpus.string()),
        dir);
    ASSERT_TRUE(listed) << "the checker could not list the corpus (is python3-olefile there?)";
    std::vector<std::filesystem::path> sources;
    std::istringstream names(*listed);
    for (std::string name; std::getline(names, name);) {
        sources.push_back(corpus / name);
    }
    ASSERT_NE(std::find(sources.begin(), sources.end(), corpus / "SimpleMacro.xls"), sources.end());

    const auto converted = dir.MakeDir("converted");
    ASSERT_TRUE(Convert(sources, "xlsm:Calc MS Excel 2007 VBA XML", converted, dir));
    std::vector<std::filesystem::path> carried;
    for (const auto& source : sources) {
        SCOPED_TRACE(source.filename().string());
        auto package = converted / source.filename().replace_extension(".xlsm");
        const VbaReport report = CarryVbaProject(source, package, package, true);
        EXPECT_TRUE(report.projectCarried);
        carried.push_back(package);

        auto values = Check(source, package, dir);
        EXPECT_EQ(values["identical_streams"], values["source_streams"]);
        EXPECT_EQ(values["storages_match"], "1");
        EXPECT_EQ(values["extra_entries"], "");
        EXPECT_EQ(values["root_clsid"], "null");
        EXPECT_EQ(values["vba_relationships"], "1");
        EXPECT_EQ(values["vba_override"], "application/vnd.ms-office.vbaProject");
        EXPECT_EQ(values["main_type"], "application/vnd.ms-excel.sheet.macroEnabled.main+xml");
        EXPECT_EQ(values["invented_code_names"], "");
        if (source.filename() == "SimpleMacro.xls") {
            EXPECT_EQ(values["code_names"], "Sheet1,Sheet2,Sheet3,ThisWorkbook");
            EXPECT_EQ(values["unbound_modules"], "");
        }
        std::cout << source.filename().string() << ": streams identical "
                  << values["identical_streams"] << "/" << values["source_streams"]
                  << ", code names " << values["code_names"] << ", unbound modules "
                  << (values["unbound_modules"].empty() ? "none" : values["unbound_modules"])
                  << "\n";
        for (const std::string& note : report.notes) {
            std::cout << "  note: " << note << "\n";
        }
    }

    // The engine reads every carried package back.
    const auto reread = dir.MakeDir("reread");
    ASSERT_TRUE(Convert(carried, "xlsx:Calc MS Excel 2007 XML", reread, dir));
    for (const auto& package : carried) {
        EXPECT_TRUE(std::filesystem::exists(reread / package.filename().replace_extension(".xlsx")))
            << package.filename();
    }
}

}  // namespace
}  // namespace tabrook::calcserver::vba
