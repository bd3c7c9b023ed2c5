// Rewrites that neither LibreOffice's output nor the corpus bring about.
#include "calcserver/cellexact/sheet_rewriter.h"

#include <gtest/gtest.h>

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
        {"a different constant text becomes an inline string",
         Row2(R"(<c r="B2" t="s"><v>0</v></c>)"),
         {std::string("zwei")},
         Row2(R"(<c r="B2" t="inlineStr"><is><t xml:space="preserve">zwei</t></is></c>)"),
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
        const SheetOutcome outcome = RewriteSheet(xml, source, {"eins"});
        EXPECT_EQ(xml, Sheet(c.after));
        EXPECT_EQ(outcome.changed, c.changed);
        EXPECT_EQ(outcome.refined, c.refined);
    }
}

}  // namespace
}  // namespace tabrook::calcserver::cellexact
