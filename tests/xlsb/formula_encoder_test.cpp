// Formula token streams worked out by hand from the binary workbook format, formulas that
// must be refused rather than mis-encoded, and the offsets of shared formulas.

#include "calcserver/xlsb/formula_encoder.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "calcserver/input_limits.h"
#include "xlsb_test_support.h"

namespace tabrook::calcserver::xlsb {
namespace {

using testing::xlsb::Hex;

class FakeScope : public FormulaScope {
  public:
    std::optional<int> SheetIndex(int book, std::string_view name) const override {
        const auto& names = book == 0   ? sheets_
                            : book == 1 ? external_
                                        : std::vector<std::string>{};
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (names[i] == name) {
                return static_cast<int>(i);
            }
        }
        return std::nullopt;
    }
    std::uint16_t ExternSheet(int book, int first, int last) override {
        const std::tuple key{book, first, last};
        for (std::size_t i = 0; i < spans.size(); ++i) {
            if (spans[i] == key) {
                return static_cast<std::uint16_t>(i);
            }
        }
        spans.push_back(key);
        return static_cast<std::uint16_t>(spans.size() - 1);
    }
    std::optional<std::uint32_t> NameIndex(std::string_view name, int sheet) const override {
        if (name == "Local" && sheet == 0) {
            return 2;
        }
        return name == "Price" ? std::optional<std::uint32_t>(1) : std::nullopt;
    }
    std::vector<std::tuple<int, int, int>> spans;

  private:
    std::vector<std::string> sheets_ = {"Data", "Other Sheet", "Third"};
    std::vector<std::string> external_ = {"Rates", "Rates 2"};  // the workbook [1]
};

std::string Tokens(std::string_view text, FormulaKind kind = FormulaKind::kCell,
                   FormulaShift shift = {}) {
    FakeScope scope;
    return Hex(EncodeFormula(text, kind, scope, 0, shift).rgce);
}

TEST(FormulaEncoder, TokenStreamsMatchTheFormat) {
    struct Case {
        const char* formula;
        const char* tokens;
    };
    const Case cases[] = {
        // Constants: PtgInt, PtgNum, PtgStr (16-bit count), PtgBool, PtgErr, PtgRefErr.
        {"7", "1E 07 00"},
        {"1.5", "1F 00 00 00 00 00 00 F8 3F"},
        {"70000", "1F 00 00 00 00 00 17 F1 40"},
        {"\"a\"\"b\"", "17 03 00 61 00 22 00 62 00"},
        {"TRUE", "1D 01"},
        {"#N/A", "1C 2A"},
        {"#REF!", "4A 00 00 00 00 00 00"},
        // References: row (4 bytes), column with relative-column 0x4000, relative-row 0x8000.
        {"B3", "44 02 00 00 00 01 C0"},
        {"$B$3", "44 02 00 00 00 01 00"},
        {"B$3", "44 02 00 00 00 01 40"},
        {"$B3", "44 02 00 00 00 01 80"},
        {"SUM(A1:B2)", "25 00 00 00 00 01 00 00 00 00 C0 01 C0 42 01 04 00"},
        {"SUM(C:C)", "25 00 00 00 00 FF FF 0F 00 02 40 02 40 42 01 04 00"},
        {"SUM(2:2)", "25 01 00 00 00 01 00 00 00 00 80 FF BF 42 01 04 00"},
        // Precedence: unary minus binds tighter than ^, then * before +, & after +.
        {"-2^2", "1E 02 00 13 1E 02 00 07"},
        {"1+2*3", "1E 01 00 1E 02 00 1E 03 00 05 03"},
        {"(1+2)*3", "1E 01 00 1E 02 00 03 15 1E 03 00 05"},
        {"1-2-3", "1E 01 00 1E 02 00 04 1E 03 00 04"},
        {"\"x\"&1+2", "17 01 00 78 00 1E 01 00 1E 02 00 03 08"},
        {"1<>2", "1E 01 00 1E 02 00 0E"},
        {"1>=2", "1E 01 00 1E 02 00 0C"},
        {"50%", "1E 32 00 14"},
        {"+A1", "44 00 00 00 00 00 C0 12"},
        // Functions: fixed arity PtgFunc, variable PtgFuncVar with the argument count;
        // a missing argument is PtgMissArg.
        {"ABS(A1)", "44 00 00 00 00 00 C0 41 18 00"},
        {"IF(A1>0,1,)", "44 00 00 00 00 00 C0 1E 00 00 0D 1E 01 00 16 42 03 01 00"},
        {"NOW()", "19 01 00 00 41 4A 00"},  // volatile: PtgAttrSemi first
        {"1+OFFSET(A1,1,0)",
         "19 01 00 00 1E 01 00 24 00 00 00 00 00 C0 1E 01 00 1E 00 00 42 03 4E 00 03"},
        {"iferror(1,2)", "1E 01 00 1E 02 00 41 E0 01"},
        {"_xlfn.IFERROR(1,2)", "1E 01 00 1E 02 00 41 E0 01"},
        {"VLOOKUP(1,A1:B2,2,FALSE)",
         "1E 01 00 25 00 00 00 00 01 00 00 00 00 C0 01 C0 1E 02 00 1D 00 42 04 66 00"},
        // Other sheets through the extern-sheet table, sheet spans, names.
        {"'Other Sheet'!A1", "5A 00 00 00 00 00 00 00 C0"},
        {"SUM(Data:Third!A1)", "3A 00 00 00 00 00 00 00 C0 42 01 04 00"},
        {"Other Sheet!#REF!", nullptr},
        {"Price*2", "43 01 00 00 00 1E 02 00 05"},
        {"[1]Rates!$B$2+'[1]Rates 2'!A1",
         "5A 00 00 01 00 00 00 01 00 5A 01 00 00 00 00 00 00 C0 03"},
        {"Local", "43 02 00 00 00"},
        // Reference operators: range, intersection (a space), union inside parentheses.
        {"SUM(A1:B2 B1:C3)",
         "25 00 00 00 00 01 00 00 00 00 C0 01 C0 25 00 00 00 00 02 00 00 00 01 C0 02 C0 0F 42 01 "
         "04 00"},
        {"SUM((A1,B1))", "24 00 00 00 00 00 C0 24 00 00 00 00 01 C0 10 15 42 01 04 00"},
    };
    for (const Case& c : cases) {
        if (c.tokens == nullptr) {
            EXPECT_THROW(Tokens(c.formula), UnencodableFormula) << c.formula;
            continue;
        }
        EXPECT_EQ(Tokens(c.formula), c.tokens) << c.formula;
    }
}

TEST(FormulaEncoder, RefusesWhatItCannotExpress) {
    const char* cases[] = {
        "[1]Sheet1!A1",         // another workbook
        "{1,2;3,4}",            // array constant
        "NOSUCHFUNCTION(1)",    // not in the function table
        "_xlfn.CONCAT(A1,B1)",  // newer than the table
        "DAY()",                // too few arguments
        "ROUND(1,2,3)",         // too many arguments
        "SUM(A1",               // unbalanced
        "\"open",               // unterminated string
        "Missing!A1",           // unknown sheet
        "Unknown+1",            // unknown name
        "1+",                   // dangling operator
        "Table1[Col]",          // structured reference
    };
    for (const char* formula : cases) {
        EXPECT_THROW(Tokens(formula), UnencodableFormula) << formula;
    }
}

// Nesting is bounded by Excel's own limit, and operator chains by a depth that keeps every
// walk over the tree on the stack: a crafted record must give a refusal, not a crash.
TEST(FormulaEncoder, RefusesNestingDeeperThanExcelAllows) {
    const auto repeat = [](std::string_view piece, int times) {
        std::string out;
        for (int i = 0; i < times; ++i) {
            out += piece;
        }
        return out;
    };
    const int limit = kMaxFormulaNesting;
    EXPECT_NO_THROW(Tokens(repeat("(", limit) + "1" + repeat(")", limit)));
    EXPECT_NO_THROW(Tokens(repeat("ABS(", limit) + "1" + repeat(")", limit)));
    const std::string deep[] = {
        repeat("(", 4000) + "1" + repeat(")", 4000),
        repeat("(", limit + 1) + "1" + repeat(")", limit + 1),
        repeat("ABS(", 5000) + "1" + repeat(")", 5000),
        repeat("-", 100000) + "1",
        "1" + repeat("+1", kMaxFormulaTreeDepth + 1),
        "1" + repeat("%", 100000),
    };
    for (const std::string& formula : deep) {
        EXPECT_THROW(Tokens(formula), UnencodableFormula) << formula.substr(0, 20);
    }
    EXPECT_NO_THROW(Tokens("1" + repeat("+1", 500)));
}

TEST(FormulaEncoder, ClassesFollowTheContext) {
    // A name formula is a reference; an array formula's operands are arrays.
    EXPECT_EQ(Tokens("Data!$A$1", FormulaKind::kName), "3A 00 00 00 00 00 00 00 00");
    EXPECT_EQ(Tokens("A1*2", FormulaKind::kArray), "64 00 00 00 00 00 C0 1E 02 00 05");
    // Union without parentheses is only a name's business.
    EXPECT_EQ(Tokens("$A:$A,$1:$1", FormulaKind::kName),
              "25 00 00 00 00 FF FF 0F 00 00 00 00 00 "
              "25 00 00 00 00 00 00 00 00 00 00 FF 3F 10");
    EXPECT_THROW(Tokens("A1,B1"), UnencodableFormula);
}

TEST(FormulaEncoder, SharedFormulasMoveOnlyRelativeParts) {
    // Anchor formula A1+$B$1+C$1 seen from two rows down and one column right.
    EXPECT_EQ(Tokens("A1+$B$1+C$1", FormulaKind::kCell, {2, 1}),
              "44 02 00 00 00 01 C0 44 00 00 00 00 01 00 03 44 00 00 00 00 03 40 03");
    EXPECT_THROW(Tokens("A1", FormulaKind::kCell, {-1, 0}), UnencodableFormula);
}

TEST(FormulaEncoder, ArrayAndSharedMembersPointAtTheirAnchor) {
    const EncodedFormula exp = ExpReference(4, 2);
    EXPECT_EQ(Hex(exp.rgce), "01 04 00 00 00");
    EXPECT_EQ(Hex(exp.rgcb), "02 00 00 00");
}

}  // namespace
}  // namespace tabrook::calcserver::xlsb
