// Rewrites that neither LibreOffice's output nor the corpus bring about.
#include "calcserver/cellexact/sheet_rewriter.h"

#include <gtest/gtest.h>

#include <clocale>

#include "support/prerequisites.h"

namespace tabrook::calcserver::cellexact {
namespace {

using biff::Cell;

std::string Sheet(const std::string& rows) {
    return R"(<?xml version="1.0"?><worksheet xmlns="urn:s"><sheetData>)" + rows +
           "</sheetData></worksheet>";
}
std::string Row2(const std::string& cells) {
    return R"(<row r="2">)" + cells + "</row>";
}

TEST(SheetRewriter, CellsTakeTheSourcesStoredValueAndType) {
    struct Case {
        const char* what;
        std::string before;  // rows
        Cell source;         // at B2
        std::string after;
        std::size_t changed, refined;
    };
    const std::vector<Case> cases{
        {"a cell left out is added in column order",
         Row2(R"(<c r="A2"><v>1</v></c><c r="C2"><v>3</v></c>)"),
         {2.0},
         Row2(R"(<c r="A2"><v>1</v></c><c r="B2"><v>2</v></c><c r="C2"><v>3</v></c>)"),
         1,
         0},
        {"a row left out is added in row order",
         R"(<row r="1"><c r="A1"><v>1</v></c></row><row r="3"/>)",
         {false},
         R"(<row r="1"><c r="A1"><v>1</v></c></row><row r="2"><c r="B2" t="b"><v>0</v></c></row>)"
         R"(<row r="3"/>)",
         1,
         0},
        {"an empty text result is not added", Row2(""), {std::string(), true}, Row2(""), 0, 0},
        {"a different constant text becomes a new shared string",
         Row2(R"(<c r="B2" t="inlineStr"><is><t>drei</t></is></c>)"),
         {std::string("zwei")},
         Row2(R"(<c r="B2" t="s"><v>1</v></c>)"),
         1,
         0},
        {"the same shared string stays",
         Row2(R"(<c r="B2" t="s"><v>0</v></c>)"),
         {std::string("eins")},
         Row2(R"(<c r="B2" t="s"><v>0</v></c>)"),
         0,
         0},
        {"no stored result keeps LibreOffice's",
         Row2(R"(<c r="B2"><f>1+1</f><v>2</v></c>)"),
         {std::string(), true, false},
         Row2(R"(<c r="B2"><f>1+1</f><v>2</v></c>)"),
         0,
         0},
        {"a number written with fewer digits gets them all",
         Row2(R"(<c r="B2" t="n"><f>1/3</f><v>0.333333333333333</v></c>)"),
         {1.0 / 3, true},
         Row2(R"(<c r="B2"><f>1/3</f><v>0.3333333333333333</v></c>)"),
         0,
         1},
        {"characters XML cannot carry are escaped, and so is a literal escape",
         Row2(R"(<c r="B2" t="str"><f>X</f><v>a</v></c>)"),
         {std::string("a\x01_x0041_"), true},
         Row2(R"(<c r="B2" t="str"><f>X</f><v>a_x0001__x005F_x0041_</v></c>)"),
         1,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        biff::Sheet source;
        source.cells[{1, 1}] = c.source;
        std::string xml = Sheet(c.before);
        SharedStringTable strings({"eins"});
        const SheetOutcome outcome = RewriteSheet(xml, source, strings);
        EXPECT_EQ(xml, Sheet(c.after));
        EXPECT_EQ(outcome.changed, c.changed);
        EXPECT_EQ(outcome.refined, c.refined);
    }
}

// A crafted source must not make the package larger than the source's own text, nor put a
// cell where Excel has no column.
TEST(SheetRewriter, HostileSourcesStayWithinTheGridAndTheirOwnSize) {
    const std::string longText(65535, 'x');
    biff::Sheet source;
    for (std::uint32_t row = 0; row < 3000; ++row) {
        source.cells[{row, 0}] = Cell{longText};
    }
    source.cells[{0, 20000}] = Cell{1.0};
    source.cells[{1, 16383}] = Cell{2.0};
    std::string xml = Sheet("");
    SharedStringTable strings({});
    const SheetOutcome outcome = RewriteSheet(xml, source, strings);
    EXPECT_EQ(outcome.outsideGrid, 1u);
    EXPECT_EQ(outcome.textsCut, 3000u);
    EXPECT_EQ(outcome.changed, 3001u);
    ASSERT_EQ(strings.Texts().size(), 1u) << "one text, stored once";
    EXPECT_EQ(strings.Texts()[0], longText.substr(0, 32767));
    EXPECT_LT(xml.size(), 200'000u) << "3,000 small cells, not 3,000 copies of the text";
    EXPECT_NE(xml.find(R"(<c r="XFD2"><v>2</v></c>)"), std::string::npos);
    EXPECT_EQ(xml.find("ACOG"), std::string::npos);

    // A character outside the basic plane counts twice and is never split.
    std::string astral = std::string(32765, 'y') + "\xF0\x9F\x98\x80";
    source.cells = {{{0, 0}, Cell{astral}}};
    xml = Sheet("");
    SharedStringTable kept({});
    EXPECT_EQ(RewriteSheet(xml, source, kept).textsCut, 0u);
    source.cells = {{{0, 0}, Cell{"z" + astral}}};
    xml = Sheet("");
    SharedStringTable cut({});
    EXPECT_EQ(RewriteSheet(xml, source, cut).textsCut, 1u);
    EXPECT_EQ(cut.Texts()[0], "z" + std::string(32765, 'y'));
}

// The window runs under the user's locale, where a decimal point may be a comma; numbers
// in a package are the same whatever it says.
TEST(SheetRewriter, NumbersReadTheSameInACommaLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
        TABROOK_SKIP_UNLESS_CI() << "the de_DE.UTF-8 locale is not installed";
    }
    biff::Sheet source;
    source.cells[{1, 1}] = Cell{0.5};
    source.cells[{1, 2}] = Cell{-1e-5};
    std::string xml = Sheet(Row2(R"(<c r="B2"><v>0.5</v></c><c r="C2"><v>-1E-005</v></c>)"));
    const std::string before = xml;
    SharedStringTable strings({});
    const SheetOutcome outcome = RewriteSheet(xml, source, strings);
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(outcome.changed + outcome.refined, 0u);
    EXPECT_EQ(xml, before);
}

}  // namespace
}  // namespace tabrook::calcserver::cellexact
