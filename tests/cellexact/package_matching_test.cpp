// How ApplyStoredValues treats the package as a whole: which parts it touches, what it
// leaves alone, and what it says about it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "biff/biff_builder.h"
#include "calcserver/cellexact/cell_exact.h"
#include "calcserver/package/zip_package.h"
#include "support/temp_dir.h"

namespace tabrook::calcserver::cellexact {
namespace {

using namespace tabrook::testing::biff;
using package::ZipReader;
using package::ZipWriter;
using tabrook::testing::TempDir;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

const char* const kRelationshipBase =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string WorksheetXml(const std::string& cells) {
    return R"(<?xml version="1.0" encoding="UTF-8"?>)"
           R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
           R"(<sheetData><row r="1">)" +
           cells + "</row></sheetData></worksheet>";
}

// A package with sheets "Erste" and "Zweite" (in that order) and a chart sheet, each
// worksheet holding the number 1 in A1 the way LibreOffice writes it.
void WritePackage(const std::filesystem::path& file) {
    const std::string rel = kRelationshipBase;
    ZipWriter zip(file);
    zip.Add("[Content_Types].xml", "<Types/>");
    zip.Add("_rels/.rels", R"(<Relationships><Relationship Id="rId1" Type=")" + rel +
                               R"(officeDocument" Target="xl/workbook.xml"/></Relationships>)");
    zip.Add("xl/workbook.xml",
            R"(<workbook xmlns:r="x"><sheets><sheet name="Erste" sheetId="1" r:id="rId2"/>)"
            R"(<sheet name="Zweite" sheetId="2" r:id="rId3"/>)"
            R"(<sheet name="Diagramm" sheetId="3" r:id="rId4"/></sheets></workbook>)");
    zip.Add("xl/_rels/workbook.xml.rels",
            "<Relationships>"
            R"(<Relationship Id="rId2" Type=")" +
                rel +
                R"(worksheet" Target="worksheets/a.xml"/>)"
                R"(<Relationship Id="rId3" Type=")" +
                rel +
                R"(worksheet" Target="/xl/worksheets/b.xml"/>)"
                R"(<Relationship Id="rId4" Type=")" +
                rel +
                R"(chartsheet" Target="chartsheets/c.xml"/>)"
                "</Relationships>");
    zip.Add("xl/worksheets/a.xml", WorksheetXml(R"(<c r="A1" t="n"><v>1</v></c>)"));
    zip.Add("xl/worksheets/b.xml", WorksheetXml(R"(<c r="A1" t="n"><v>1</v></c>)"));
    zip.Add("xl/chartsheets/c.xml", "<chartsheet/>");
    zip.Commit();
}

std::string FileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void ExpectSameEntries(const std::filesystem::path& a, const std::filesystem::path& b) {
    const ZipReader left(a);
    const ZipReader right(b);
    ASSERT_EQ(left.EntryNames(), right.EntryNames());
    for (const auto& name : left.EntryNames()) {
        EXPECT_EQ(left.Read(name), right.Read(name)) << name;
    }
}

TEST(CellExactPackage, SheetsAreMatchedByNameAndUnmatchedOnesReported) {
    TempDir dir;
    const auto package = dir.Path() / "book.xlsx";
    WritePackage(package);
    const auto source = dir.Path() / "book.xls";
    // Source order differs from the package's, and one source sheet is gone.
    WriteCompoundFile(source, WorkbookStream({}, {SheetSource{"Zweite", {BoolErr(0, 0, 1, false)}},
                                                  SheetSource{"Weg", {Number(0, 0, 7)}},
                                                  SheetSource{"Erste", {Number(0, 0, 1)}}}));

    for (const bool inPlace : {false, true}) {
        SCOPED_TRACE(inPlace ? "in place" : "to a new file");
        const auto out = inPlace ? package : dir.Path() / "out.xlsx";
        const CellExactReport report = ApplyStoredValues(source, package, out);
        EXPECT_TRUE(report.applied);
        EXPECT_EQ(report.sheetsMatched, 2u);
        EXPECT_EQ(report.cellsCompared, 2u);
        EXPECT_EQ(report.cellsChanged, 1u);
        EXPECT_THAT(report.unmatchedSheets, ElementsAre("Weg"));
        EXPECT_THAT(report.reason, HasSubstr("\"Weg\""));

        const ZipReader result(out);
        EXPECT_EQ(result.Read("xl/worksheets/a.xml"),
                  WorksheetXml(R"(<c r="A1" t="n"><v>1</v></c>)"));
        EXPECT_THAT(result.Read("xl/worksheets/b.xml"), HasSubstr(R"(<c r="A1" t="b"><v>1</v>)"));
        EXPECT_EQ(result.Read("xl/chartsheets/c.xml"), "<chartsheet/>");
        EXPECT_EQ(result.EntryNames().size(), 7u);
    }
    EXPECT_THAT(
        std::vector<std::filesystem::path>(std::filesystem::directory_iterator(dir.Path()), {}),
        ::testing::SizeIs(3))
        << "no temporary file is left beside the package";
}

TEST(CellExactPackage, UnreadableSourcesLeaveThePackageAsWritten) {
    TempDir dir;
    const auto package = dir.Path() / "book.xlsx";
    WritePackage(package);
    const std::string packageBytes = FileBytes(package);
    const std::vector<std::pair<const char*, std::function<void(const std::filesystem::path&)>>>
        sources{
            {"text", [](const auto& f) { std::ofstream(f) << "no workbook"; }},
            {"BIFF5",
             [](const auto& f) {
                 WriteCompoundFile(f, WorkbookStream({}, {SheetSource{"Erste", {}}}), "Book");
             }},
            {"missing", [](const auto&) {}},
        };
    for (const auto& [what, write] : sources) {
        SCOPED_TRACE(what);
        const auto source = dir.Path() / (std::string(what) + ".xls");
        write(source);
        const auto out = dir.Path() / (std::string(what) + ".xlsx");
        const CellExactReport report = ApplyStoredValues(source, package, out);
        EXPECT_FALSE(report.applied);
        EXPECT_EQ(report.cellsCompared, 0u);
        EXPECT_THAT(report.reason, HasSubstr("cannot be read"));
        ExpectSameEntries(package, out);

        ApplyStoredValues(source, package, package);
        EXPECT_EQ(FileBytes(package), packageBytes) << "in place, nothing is rewritten";
    }
}

TEST(CellExactPackage, APackageThatIsNotAZipThrowsAndWritesNothing) {
    TempDir dir;
    const auto source = dir.Path() / "book.xls";
    WriteCompoundFile(source, WorkbookStream({}, {SheetSource{"Erste", {Number(0, 0, 1)}}}));
    const auto package = dir.Write("book.xlsx", "not a zip");
    EXPECT_THROW(ApplyStoredValues(source, package, dir.Path() / "out.xlsx"),
                 package::PackageError);
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "out.xlsx"));
}

}  // namespace
}  // namespace tabrook::calcserver::cellexact
