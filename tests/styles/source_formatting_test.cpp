#include "calcserver/styles/source_formatting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "biff/biff_builder.h"
#include "calcserver/package/zip_package.h"
#include "support/prerequisites.h"
#include "support/shell_tools.h"
#include "support/temp_dir.h"

namespace tabrook::calcserver::styles {
namespace {

using namespace tabrook::testing::biff;
using package::ZipReader;
using tabrook::testing::RunShell;
using tabrook::testing::ShellQuote;
using tabrook::testing::TempDir;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

// A package as the office writes it: sheets "Eins" (opened at) and "Zwei", which the
// office shows merely hidden, and a styles part of its own.
void WritePackage(const fs::path& file) {
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    const auto link = [&](const char* id, const char* type, const char* target) {
        return std::string("<Relationship Id=\"") + id + "\" Type=\"" + rel + type +
               "\" Target=\"" + target + "\"/>";
    };
    package::ZipWriter zip(file);
    zip.Add("_rels/.rels", "<Relationships>" + link("rId1", "officeDocument", "xl/workbook.xml") +
                               "</Relationships>");
    zip.Add("xl/workbook.xml",
            R"(<workbook xmlns:r="x"><bookViews><workbookView activeTab="0"/></bookViews>)"
            R"(<sheets><sheet name="Eins" r:id="rId2"/><sheet name="Zwei" state="hidden" )"
            R"(r:id="rId3"/></sheets></workbook>)");
    zip.Add("xl/_rels/workbook.xml.rels",
            "<Relationships>" + link("rId2", "worksheet", "worksheets/a.xml") +
                link("rId3", "worksheet", "worksheets/b.xml") +
                link("rId4", "styles", "styles.xml") + "</Relationships>");
    const std::string sheet =
        R"(<worksheet><sheetData><row r="1"><c r="A1" s="1"><v>1</v></c></row></sheetData>)"
        "</worksheet>";
    zip.Add("xl/worksheets/a.xml", sheet);
    zip.Add("xl/worksheets/b.xml", sheet);
    zip.Add("xl/styles.xml",
            "<styleSheet><cellXfs><xf numFmtId='0'/><xf numFmtId='22'/></cellXfs></styleSheet>");
    zip.Commit();
}

Bytes Xf(std::uint16_t format, bool style) {
    return Record(0x00E0, Le16(0) + Le16(format) + Le16(style ? 0xFFF5 : 0x0001) +
                              Bytes{0x20, 0, 0, 0} + Le32(0) + Le32(0) + Le16(0x20C0));
}

std::string FileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(SourceFormatting, StylesSheetsAndStatesComeFromTheSource) {
    TempDir dir;
    const auto package = dir.Path() / "book.xlsx";
    WritePackage(package);
    const auto source = dir.Path() / "book.xls";
    const Bytes font = Record(0x0031, Le16(200) + Le16(0) + Le16(0x7FFF) + Le16(400) + Le16(0) +
                                          Bytes{0, 0, 0, 0, 5, 0, 'A', 'r', 'i', 'a', 'l'});
    WriteCompoundFile(
        source,
        WorkbookStream({font, Xf(0, true), Xf(14, false), Xf(49, false)},
                       {{"Eins", {Record(0x0203, Le16(0) + Le16(0) + Le16(1) + LeDouble(1))}},
                        {"Zwei", {}, 0, 2}}));
    const FormattingReport report = ApplySourceFormatting(source, package, package);
    EXPECT_TRUE(report.applied) << report.reason;
    EXPECT_EQ(report.sheetsMatched, 2u);
    const ZipReader result(package);
    const std::string styles = result.Read("xl/styles.xml");
    EXPECT_THAT(styles, HasSubstr(R"(<cellXfs count="2"><xf numFmtId="14")"));
    EXPECT_THAT(styles, HasSubstr(R"(<name val="Arial"/>)"));
    // A1's XF 1 is the first cell format, the default: the office's index goes.
    EXPECT_THAT(result.Read("xl/worksheets/a.xml"), HasSubstr(R"(<c r="A1"><v>1</v>)"));
    EXPECT_THAT(result.Read("xl/workbook.xml"), HasSubstr(R"(name="Zwei" state="veryHidden")"));
}

TEST(SourceFormatting, AnUnreadableSourceLeavesThePackageAsWritten) {
    TempDir dir;
    const auto package = dir.Path() / "book.xlsx";
    WritePackage(package);
    const std::string before = FileBytes(package);
    std::ofstream(dir.Path() / "text.xls") << "no workbook";
    // A workbook without a single cell format: the office's formatting stays whole.
    WriteCompoundFile(dir.Path() / "bare.xls", WorkbookStream({Xf(0, true)}, {{"Eins", {}}}));
    for (const char* name : {"text.xls", "missing.xls", "bare.xls"}) {
        const FormattingReport report = ApplySourceFormatting(dir.Path() / name, package, package);
        EXPECT_FALSE(report.applied) << name;
        EXPECT_FALSE(report.reason.empty()) << name;
        EXPECT_EQ(FileBytes(package), before) << name;
    }
}

TEST(SourceFormattingCorpus, ConvertedCorpusKeepsTheSourcesFormatting) {
    const auto corpus = tabrook::testing::CorpusDir();
    const std::string python = tabrook::testing::DebianPython();
    if (corpus.empty() || !tabrook::testing::HasCommand("soffice") ||
        RunShell(python + " -c 'import openpyxl, xlrd' 2>/dev/null").exitCode != 0) {
        TABROOK_SKIP_UNLESS_CI() << "needs the shared corpus (TABROOK_CORPUS), soffice and "
                                    "python3 with openpyxl and xlrd";
    }
    TempDir dir;
    std::vector<fs::path> sources;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        if (entry.path().extension() == ".xls") {
            sources.push_back(entry.path());
        }
    }
    const auto converted = dir.MakeDir("converted");
    const auto fixed = dir.MakeDir("fixed");
    ASSERT_GT(
        tabrook::testing::ConvertWithOffice(sources, "xlsx", converted, dir.Path() / "p").size(),
        sources.size() * 9 / 10);
    std::vector<fs::path> restyled;
    for (const auto& source : sources) {
        const auto written = converted / source.stem().concat(".xlsx");
        if (fs::exists(written)) {
            const auto report = ApplySourceFormatting(source, written, fixed / written.filename());
            EXPECT_TRUE(report.applied || !report.reason.empty()) << source;
            if (report.applied) {
                restyled.push_back(fixed / written.filename());
            }
        }
    }
    // Every non-empty cell keeps all of its formatting, and so do the sheet and workbook
    // items, defined names included; a few widths and heights past what the format holds
    // are cut to its limit.
    const auto [status, output] =
        RunShell(python + " " + ShellQuote(TABROOK_SOURCE_DIR "/bench/styles_compare.py") +
                 " --min-cells 99.9 --min-items 99.9 " + ShellQuote(corpus.string()) + " " +
                 ShellQuote(fixed.string()) + " 2>&1");
    EXPECT_EQ(status, 0) << output;
    std::cout << output.substr(output.rfind("workbooks ")) << '\n';
    // LibreOffice still opens every restyled package.
    ASSERT_FALSE(restyled.empty());
    EXPECT_EQ(tabrook::testing::ConvertWithOffice(restyled, "ods", dir.MakeDir("reopened"),
                                                  dir.Path() / "p")
                  .size(),
              restyled.size());
}

}  // namespace
}  // namespace tabrook::calcserver::styles
