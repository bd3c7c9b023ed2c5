#include "calcserver/cellexact/sheet_rewriter.h"

#include <gtest/gtest.h>

#include <cmath>

#include "calcserver/cellexact/ooxml_text.h"
#include "calcserver/package/zip_package.h"

namespace tabrook::calcserver::cellexact {
namespace {

using biff::Cell;
using biff::ErrorValue;

const std::string kHead =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)";
const std::string kTail = "</sheetData></worksheet>";

std::string Sheet(const std::string& rows) {
    return kHead + rows + kTail;
}

struct RewriteCase {
    const char* what;
    std::string before;  // rows
    Cell source;         // the source cell at B2
    std::string after;   // rows
    std::size_t changed;
    std::size_t refined;
};

Cell Formula(biff::CellValue value) {
    return Cell{std::move(value), true, true};
}
Cell Constant(biff::CellValue value) {
    return Cell{std::move(value), false, true};
}

std::string Row2(const std::string& cells) {
    return R"(<row r="2">)" + cells + "</row>";
}

TEST(SheetRewriter, CellsTakeTheSourcesStoredValueAndType) {
    const std::vector<RewriteCase> cases{
        {"a boolean result written as a number",
         Row2(R"(<c r="B2" s="1" t="n"><f aca="false">B8=B8</f><v>1</v></c>)"), Formula(true),
         Row2(R"(<c r="B2" s="1" t="b"><f aca="false">B8=B8</f><v>1</v></c>)"), 1, 0},
        {"another error", Row2(R"(<c r="B2" t="e"><f>1/0</f><v>#DIV/0!</v></c>)"),
         Formula(ErrorValue{0x2A}), Row2(R"(<c r="B2" t="e"><f>1/0</f><v>#N/A</v></c>)"), 1, 0},
        {"another text", Row2(R"(<c r="B2" t="str"><f>X</f><v>its 1 blue</v></c>)"),
         Formula(std::string("its TRUE blue")),
         Row2(R"(<c r="B2" t="str"><f>X</f><v>its TRUE blue</v></c>)"), 1, 0},
        {"a text where the source holds a number",
         Row2(R"(<c r="B2" t="str"><f>X</f><v>5</v></c>)"), Formula(5.0),
         Row2(R"(<c r="B2"><f>X</f><v>5</v></c>)"), 1, 0},
        {"a number where the source holds a boolean constant",
         Row2(R"(<c r="B2" s="3" t="n"><v>1</v></c>)"), Constant(true),
         Row2(R"(<c r="B2" s="3" t="b"><v>1</v></c>)"), 1, 0},
        {"a boolean constant LibreOffice made a formula of",
         Row2(R"(<c r="B2" t="b"><f aca="false">TRUE()</f><v>1</v></c>)"), Constant(true),
         Row2(R"(<c r="B2" t="b"><v>1</v></c>)"), 1, 0},
        {"an error constant LibreOffice gave an empty formula",
         Row2(R"(<c r="B2" t="e"><f aca="false"></f><v>#REF!</v></c>)"), Constant(ErrorValue{0x17}),
         Row2(R"(<c r="B2" t="e"><v>#REF!</v></c>)"), 1, 0},
        {"a different constant text becomes an inline string",
         Row2(R"(<c r="B2" t="s"><v>0</v></c>)"), Constant(std::string("zwei")),
         Row2(R"(<c r="B2" t="inlineStr"><is><t xml:space="preserve">zwei</t></is></c>)"), 1, 0},
        {"the same shared string stays", Row2(R"(<c r="B2" t="s"><v>0</v></c>)"),
         Constant(std::string("eins")), Row2(R"(<c r="B2" t="s"><v>0</v></c>)"), 0, 0},
        {"a boolean already right stays", Row2(R"(<c r="B2" t="b"><f>A</f><v>0</v></c>)"),
         Formula(false), Row2(R"(<c r="B2" t="b"><f>A</f><v>0</v></c>)"), 0, 0},
        {"a formula without a stored result keeps LibreOffice's",
         Row2(R"(<c r="B2" t="n"><f>1+1</f><v>2</v></c>)"), Cell{std::string(), true, false},
         Row2(R"(<c r="B2" t="n"><f>1+1</f><v>2</v></c>)"), 0, 0},
        {"a number written with fewer digits gets them all",
         Row2(R"(<c r="B2" t="n"><f>1/3</f><v>0.333333333333333</v></c>)"), Formula(1.0 / 3),
         Row2(R"(<c r="B2"><f>1/3</f><v>0.3333333333333333</v></c>)"), 0, 1},
        {"an exponent written differently is the same number",
         Row2(R"(<c r="B2" t="n"><v>-1E-005</v></c>)"), Constant(-1e-5),
         Row2(R"(<c r="B2" t="n"><v>-1E-005</v></c>)"), 0, 0},
        {"characters XML cannot carry are escaped",
         Row2(R"(<c r="B2" t="str"><f>X</f><v>a</v></c>)"), Formula(std::string("a\x01_x0041_")),
         Row2(R"(<c r="B2" t="str"><f>X</f><v>a_x0001__x005F_x0041_</v></c>)"), 1, 0},
        {"a cell LibreOffice left out is added in column order",
         Row2(R"(<c r="A2"><v>1</v></c><c r="C2"><v>3</v></c>)"), Constant(2.0),
         Row2(R"(<c r="A2"><v>1</v></c><c r="B2"><v>2</v></c><c r="C2"><v>3</v></c>)"), 1, 0},
        {"a row LibreOffice left out is added in row order",
         R"(<row r="1"><c r="A1"><v>1</v></c></row><row r="3"><c r="A3"><v>3</v></c></row>)",
         Constant(false),
         R"(<row r="1"><c r="A1"><v>1</v></c></row><row r="2"><c r="B2" t="b"><v>0</v></c></row>)"
         R"(<row r="3"><c r="A3"><v>3</v></c></row>)",
         1, 0},
        {"an empty text result is not added as a cell", Row2(R"(<c r="A2"><v>1</v></c>)"),
         Formula(std::string()), Row2(R"(<c r="A2"><v>1</v></c>)"), 0, 0},
    };
    const std::vector<std::string> sharedStrings{"eins"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        biff::Sheet source;
        source.cells[{1, 1}] = c.source;
        std::string xml = Sheet(c.before);
        const SheetOutcome outcome = RewriteSheet(xml, source, sharedStrings);
        EXPECT_EQ(xml, Sheet(c.after));
        EXPECT_EQ(outcome.changed, c.changed);
        EXPECT_EQ(outcome.refined, c.refined);
        EXPECT_EQ(outcome.modified, c.changed + c.refined > 0);
    }
}

TEST(SheetRewriter, PartsThatAreNotWorksheetsAreRefusedUntouched) {
    biff::Sheet source;
    source.cells[{0, 0}] = Constant(1.0);
    for (const auto& broken :
         {std::string("<worksheet><sheetData>"),
          std::string("<chartsheet><sheetData/></chartsheet>"), std::string("<worksheet/>")}) {
        std::string xml = broken;
        EXPECT_THROW(RewriteSheet(xml, source, {}), package::PackageError);
        EXPECT_EQ(xml, broken);
    }
}

TEST(CellText, EscapesRoundTripAndReferencesParse) {
    for (const auto& text :
         {std::string("plain"), std::string("tab\tand\nline"), std::string("bell\x07"),
          std::string("_x0041_ literal"), std::string("_x12_ short"), std::string("")}) {
        EXPECT_EQ(DecodeCellText(EncodeCellText(text)), text);
    }
    EXPECT_EQ(DecodeCellText("_x00E9_"), "é");

    const std::vector<std::pair<std::string, biff::CellAddress>> references{
        {"A1", {0, 0}},
        {"Z9", {8, 25}},
        {"AA10", {9, 26}},
        {"IV65536", {65535, 255}},
        {"XFD1048576", {1048575, 16383}}};
    for (const auto& [text, address] : references) {
        biff::CellAddress parsed;
        ASSERT_TRUE(ParseCellReference(text, parsed)) << text;
        EXPECT_EQ(parsed, address) << text;
        EXPECT_EQ(CellReference(address), text);
    }
    biff::CellAddress ignored;
    for (const char* bad : {"", "A", "1", "A0", "a1", "A1B", "XFE1", "A1048577"}) {
        EXPECT_FALSE(ParseCellReference(bad, ignored)) << bad;
    }
}

}  // namespace
}  // namespace tabrook::calcserver::cellexact
