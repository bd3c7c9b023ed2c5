#include "calcserver/cellexact/cell_exact.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "biff/biff_builder.h"
#include "calcserver/package/zip_package.h"
#include "cellexact/office_tools.h"
#include "support/temp_dir.h"

namespace tabrook::calcserver::cellexact {
namespace {

using namespace tabrook::testing::biff;
using namespace tabrook::testing::office;
using package::ZipReader;
using package::ZipWriter;
using tabrook::testing::TempDir;
using ::testing::HasSubstr;

// Formula tokens.
Bytes Int(std::uint16_t value) {
    Bytes token{0x1E};
    Put16(token, value);
    return token;
}
Bytes Text(const std::string& text) {  // compressed ASCII only
    Bytes token{0x17, static_cast<std::uint8_t>(text.size()), 0};
    for (const char c : text) {
        token.push_back(static_cast<std::uint8_t>(c));
    }
    return token;
}
Bytes Tokens(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& part : parts) {
        Append(all, part);
    }
    return all;
}
const Bytes kAdd{0x03}, kDiv{0x06}, kConcat{0x08}, kLess{0x09}, kEqual{0x0B}, kGreater{0x0D},
    kParen{0x15};

// A workbook whose stored results are not what a fresh calculation gives, the way Excel
// leaves them for functions whose semantics differ and for results LibreOffice retypes.
Bytes StaleWorkbook() {
    const std::vector<Bytes> calc{
        Dimensions(6, 2),
        Formula(0, 0, SpecialResult(1, 1), Tokens({Int(1), Int(1), kEqual})),   // =1=1 TRUE
        Formula(1, 0, SpecialResult(2, 0x2A), Tokens({Int(1), Int(0), kDiv})),  // =1/0 #N/A
        Formula(
            2, 0, SpecialResult(0),
            Tokens({Text("its "), Int(2), Int(3), kLess, kParen, kConcat, Text(" blue"), kConcat})),
        StringResult("its TRUE blue"),
        Formula(3, 0, NumberResult(5), Tokens({Int(2), Int(2), kAdd})),   // =2+2 stored 5
        Formula(4, 0, SpecialResult(0), Tokens({Int(1), Int(1), kAdd})),  // no STRING: no result
        Formula(5, 0, SpecialResult(3), Tokens({Text("x"), Text("y"), kConcat})),  // stored ""
        BoolErr(0, 1, 1, false),
        BoolErr(1, 1, 0x17, true),
        LabelSst(2, 1, 0),
        Number(3, 1, 0.1),
    };
    const std::vector<Bytes> second{
        Dimensions(2, 1),
        Formula(0, 0, SpecialResult(1, 0), Tokens({Int(3), Int(2), kGreater})),  // stored FALSE
        Label(1, 0, "Größe"),
    };
    return WorkbookStream({SharedStringTable({"plain"})},
                          {SheetSource{"Calc", calc}, SheetSource{"Zweite", second}});
}

// Cell -> "type repr" for each cell openpyxl sees, stored values ("V") and formulas ("F").
std::map<std::string, std::string> ReadBack(const std::string& python,
                                            const std::filesystem::path& package) {
    const std::string script =
        "import sys, openpyxl\n"
        "for data_only in (True, False):\n"
        "    wb = openpyxl.load_workbook(sys.argv[1], data_only=data_only)\n"
        "    for ws in wb.worksheets:\n"
        "        for row in ws.iter_rows():\n"
        "            for c in row:\n"
        "                if c.value is not None:\n"
        "                    v = c.value\n"
        "                    if type(v) in (int, float): v = float(v)\n"
        "                    print('V' if data_only else 'F', ws.title + '!' + c.coordinate,"
        " type(v).__name__ + ' ' + repr(v), sep='\\t')\n";
    std::string output;
    EXPECT_EQ(RunCommand(python + " -c " + ShellQuote(script) + " " + ShellQuote(package.string()),
                         &output),
              0);
    std::map<std::string, std::string> cells;
    std::istringstream lines(output);
    std::string mode, cell, value;
    while (std::getline(lines, mode, '\t') && std::getline(lines, cell, '\t') &&
           std::getline(lines, value)) {
        cells[mode + " " + cell] = value;
    }
    return cells;
}

TEST(CellExactWithLibreOffice, ConvertedPackagesShowTheSourcesStoredValues) {
    const std::string python = ReaderPython();
    if (!HaveOffice() || python.empty()) {
        GTEST_SKIP() << "soffice or python3 with openpyxl is not installed";
    }
    TempDir dir;
    const auto source = dir.Path() / "stale.xls";
    WriteCompoundFile(source, StaleWorkbook());
    const auto converted = dir.MakeDir("converted");
    ASSERT_TRUE(ConvertWithOffice({source}, "xlsx", converted, dir.Path() / "profile"));
    ASSERT_TRUE(ConvertWithOffice({source}, "xlsm:Calc MS Excel 2007 VBA XML", converted,
                                  dir.Path() / "profile"));

    for (const char* extension : {"xlsx", "xlsm"}) {
        SCOPED_TRACE(extension);
        const auto written = converted / (std::string("stale.") + extension);
        const auto fixed = dir.Path() / (std::string("fixed.") + extension);
        const auto before = ReadBack(python, written);
        EXPECT_EQ(before.at("V Calc!A3"), "str 'its 1 blue'") << "LibreOffice no longer retypes";

        const CellExactReport report = ApplyStoredValues(source, written, fixed);
        EXPECT_TRUE(report.applied) << report.reason;
        EXPECT_EQ(report.sheetsMatched, 2u);
        EXPECT_TRUE(report.unmatchedSheets.empty());

        const auto after = ReadBack(python, fixed);
        const std::vector<std::pair<std::string, std::string>> expected{
            {"V Calc!A1", "bool True"},           {"V Calc!A2", "str '#N/A'"},
            {"V Calc!A3", "str 'its TRUE blue'"}, {"V Calc!A4", "float 5.0"},
            {"V Calc!A5", "float 2.0"},  // no stored result: LibreOffice's stays
            {"V Calc!B1", "bool True"},           {"V Calc!B2", "str '#REF!'"},
            {"V Calc!B3", "str 'plain'"},         {"V Calc!B4", "float 0.1"},
            {"V Zweite!A1", "bool False"},        {"V Zweite!A2", "str 'Größe'"},
            {"F Calc!A1", "str '=1=1'"},          {"F Calc!A4", "str '=2+2'"},
            {"F Zweite!A1", "str '=3>2'"},
        };
        for (const auto& [cell, value] : expected) {
            ASSERT_TRUE(after.count(cell)) << cell;
            EXPECT_EQ(after.at(cell), value) << cell;
        }
        EXPECT_EQ(after.count("V Calc!A6"), 0u) << "a stored empty text shows as empty";
        EXPECT_EQ(after.count("F Calc!B1"), 1u);
        EXPECT_EQ(after.at("F Calc!B1"), "bool True") << "a constant stays a constant";
        // A1, A2, A3, A4, A6, Zweite!A1, and the constants B1 and B2 LibreOffice gave formulas
        EXPECT_EQ(report.cellsChanged, 8u);
    }
}

}  // namespace
}  // namespace tabrook::calcserver::cellexact
