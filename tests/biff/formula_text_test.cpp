#include "calcserver/biff/formula_text.h"

#include <gtest/gtest.h>

#include "biff/biff_builder.h"
#include "calcserver/biff/biff_workbook.h"

namespace tabrook::calcserver::biff {
namespace {

using namespace tabrook::testing::biff;

constexpr std::uint16_t kAbs = 0;
constexpr std::uint16_t kRelCol = 0x4000;
constexpr std::uint16_t kRelRow = 0x8000;

Bytes Int(std::uint16_t value) {
    return Bytes{0x1E} + Le16(value);
}
Bytes Num(double value) {
    return Bytes{0x1F} + LeDouble(value);
}
Bytes Str(std::string_view text) {
    Bytes out{0x17, static_cast<std::uint8_t>(text.size()), 0};
    for (const char c : text) {
        out.push_back(static_cast<std::uint8_t>(c));
    }
    return out;
}
Bytes Op(std::uint8_t ptg) {
    return Bytes{ptg};
}
Bytes Ref(std::uint16_t row, std::uint16_t column) {
    return Bytes{0x24} + Le16(row) + Le16(column);
}
Bytes RefN(std::int16_t row, std::uint16_t column) {
    return Bytes{0x2C} + Le16(static_cast<std::uint16_t>(row)) + Le16(column);
}
Bytes Area3d(std::uint16_t xti, std::uint16_t r1, std::uint16_t r2, std::uint16_t c1,
             std::uint16_t c2) {
    return Bytes{0x3B} + Le16(xti) + Le16(r1) + Le16(r2) + Le16(c1) + Le16(c2);
}
Bytes Ref3d(std::uint16_t xti, std::uint16_t row, std::uint16_t column) {
    return Bytes{0x3A} + Le16(xti) + Le16(row) + Le16(column);
}
Bytes Func(std::uint16_t id) {
    return Bytes{0x41} + Le16(id);
}
Bytes FuncVar(std::uint8_t count, std::uint16_t id) {
    return Bytes{0x42, count} + Le16(id);
}
Bytes Attr(std::uint8_t flags, std::uint16_t data) {
    return Bytes{0x19, flags} + Le16(data);
}
Bytes Name(std::uint32_t index) {
    return Bytes{0x23} + Le32(index);
}
Bytes NameX(std::uint16_t xti, std::uint32_t index) {
    return Bytes{0x39} + Le16(xti) + Le32(index);
}

FormulaContext Context() {
    FormulaContext context;
    context.externSheetNames = {"Data",     "My Sheet", "",        "Jan:Dec",
                                "[1]Rates", "A1",       "O'Brien", "Лист3"};
    context.definedNames = {"Rate", "_xlnm.Print_Area"};
    context.externNames = {{}, {"[1]!Total"}, {"MYUDF"}};
    context.externNameBooks = {0, FormulaContext::kOwnNames, 0, 0, 1, 0, 2, 0};
    context.baseRow = 9;
    context.baseColumn = 5;
    return context;
}

struct Decoded {
    const char* what;
    Bytes rgce;
    std::string text;
    Bytes trailing = {};
};

TEST(FormulaText, DecodesWhatNamesAndSeriesHold) {
    const Decoded cases[] = {
        {"3-D area, quoted sheet", Area3d(1, 0, 9, 1, 1), "'My Sheet'!$B$1:$B$10"},
        {"relative markers", Area3d(0, 0, 1, kRelCol | 2, kRelRow | 3), "Data!C$1:$D2"},
        {"whole columns and rows, as Excel writes them",
         Area3d(0, 0, 65535, 0, 1) + Area3d(0, 0, 0, 0, 255) + Op(0x10), "Data!$A:$B,Data!$1:$1"},
        {"deleted sheet", Ref3d(2, 0, 0), "#REF!"},
        {"sheet range and external book", Ref3d(3, 0, 0) + Ref3d(4, 1, 1) + Op(0x03),
         "Jan:Dec!$A$1+[1]Rates!$B$2"},
        {"a sheet named in another script", Ref3d(7, 0, 0), "Лист3!$A$1"},
        {"sheet names that read as a cell or hold a quote",
         Ref3d(5, 0, 0) + Ref3d(6, 0, 0) + Op(0x03), "'A1'!$A$1+'O''Brien'!$A$1"},
        {"precedence puts back brackets the tokens omit",
         Int(1) + Int(2) + Op(0x03) + Int(3) + Op(0x05), "(1+2)*3"},
        {"right operand of equal precedence", Int(1) + Int(2) + Int(3) + Op(0x04) + Op(0x04),
         "1-(2-3)"},
        {"explicit brackets are kept once",
         Int(1) + Int(2) + Op(0x03) + Op(0x15) + Int(3) + Op(0x05), "(1+2)*3"},
        {"unary, percent and power", Int(2) + Op(0x13) + Int(2) + Op(0x07) + Op(0x14), "(-2^2)%"},
        {"constants",
         Str("say \"hi\"") + Bytes{0x1D, 1} + Op(0x08) + Bytes{0x1C, 0x2A} + Op(0x08) + Num(0.5) +
             Op(0x08),
         "\"say \"\"hi\"\"\"&TRUE&#N/A&0.5"},
        {"fixed and variable functions", Ref(0, 0) + Int(2) + Func(27) + Ref(1, 1) + FuncVar(2, 4),
         "SUM(ROUND($A$1,2),$B$2)"},
        {"IF with its jumps and a missing argument",
         Ref(0, 0) + Attr(0x02, 4) + Op(0x16) + Attr(0x08, 3) + Int(2) + Attr(0x08, 3) +
             FuncVar(3, 1),
         "IF($A$1,,2)"},
        {"CHOOSE jump table and SUM attribute",
         Int(1) + Attr(0x04, 1) + Le16(0) + Le16(0) + Int(5) + Attr(0x10, 0) + FuncVar(2, 100),
         "CHOOSE(1,SUM(5))"},
        {"spaces and volatile attributes change nothing",
         Attr(0x40, 0x0200) + Attr(0x01, 0) + Int(7), "7"},
        {"a union argument keeps its brackets", Ref(0, 0) + Ref(0, 1) + Op(0x10) + FuncVar(1, 4),
         "SUM(($A$1,$B$1))"},
        {"intersection and range", Ref(0, 0) + Ref(3, 3) + Op(0x11) + Ref(1, 1) + Op(0x0F),
         "$A$1:$D$4 $B$2"},
        {"relative offsets from the base cell", RefN(-1, kRelRow | kRelCol | 1), "G9"},
        {"offsets wrap around the sheet", RefN(-10, kRelRow | kRelCol | 0x3FFA), "IV65536"},
        {"names, external names and add-in calls",
         Name(1) + NameX(4, 1) + Op(0x05) + NameX(6, 1) + Int(3) + FuncVar(2, 255) + Op(0x03),
         "Rate*[1]!Total+MYUDF(3)"},
        {"an external name into the workbook itself", NameX(1, 2), "_xlnm.Print_Area"},
        {"array constant from the trailing data", Bytes{0x60, 0, 0, 0, 0, 0, 0, 0},
         "{1,\"a\";TRUE,#N/A}",
         Bytes{1} + Le16(1) + Bytes{1} + LeDouble(1) + Bytes{2} + Le16(1) + Bytes{0, 'a'} +
             Bytes{4, 1, 0, 0, 0, 0, 0, 0, 0} + Bytes{0x10, 0x2A, 0, 0, 0, 0, 0, 0, 0}},
        {"memory tokens wrap the reference that follows",
         Bytes{0x29} + Le16(19) + Area3d(0, 0, 1, 0, 0) + Ref3d(0, 1, 1) + Op(0x10),
         "Data!$A$1:$A$2,Data!$B$2"},
        {"PtgMemArea's cached areas are skipped in the trailing data",
         Bytes{0x26, 0, 0, 0, 0} + Le16(7) + Ref3d(0, 0, 0) + Bytes{0x60, 0, 0, 0, 0, 0, 0, 0} +
             Op(0x03),
         "Data!$A$1+{7}", Le16(1) + Bytes(8, 0) + Bytes{0} + Le16(0) + Bytes{1} + LeDouble(7)},
    };
    const FormulaContext context = Context();
    for (const Decoded& test : cases) {
        const FormulaText decoded = DecodeFormula(test.rgce, context, test.trailing);
        EXPECT_EQ(decoded.error, "") << test.what;
        EXPECT_EQ(decoded.text, test.text) << test.what;
    }
}

TEST(FormulaText, RefusesWhatItCannotDecodeExactly) {
    Bytes deep;
    for (int i = 0; i < 5000; ++i) {
        deep = deep + Int(1);
    }
    Bytes longText = Str(std::string(255, 'x'));
    for (int i = 0; i < 40; ++i) {
        longText = longText + Str(std::string(255, 'x')) + Op(0x08);
    }
    const std::pair<const char*, Bytes> cases[] = {
        {"empty", {}},
        {"number cut short", Bytes{0x1F, 0, 0, 0}},
        {"operator without operands", Int(1) + Op(0x03)},
        {"operands left over", Int(1) + Int(2)},
        {"unknown function", Int(1) + Func(9999)},
        {"function with too few operands", Int(1) + FuncVar(3, 4)},
        {"macro command", FuncVar(0, 0x8000 | 4)},
        {"name out of range", Name(3)},
        {"name index zero", Name(0)},
        {"sheet entry out of range", Ref3d(40, 0, 0)},
        {"external name through a book without names", NameX(0, 1)},
        {"column past the BIFF grid", Ref(0, 300)},
        {"array without its trailing data", Bytes{0x60, 0, 0, 0, 0, 0, 0, 0}},
        {"shared formula anchor", Bytes{0x01, 0, 0, 0, 0}},
        {"unknown token", Bytes{0x30}},
        {"operands without bound", deep},
        {"text longer than a formula", longText},
    };
    const FormulaContext context = Context();
    for (const auto& [what, rgce] : cases) {
        const FormulaText decoded = DecodeFormula(rgce, context);
        EXPECT_NE(decoded.error, "") << what;
        EXPECT_EQ(decoded.text, "") << what;
    }
}

// NAME records: flags, key, name length, token length, sheet (1-based, 0 global), name, tokens.
Bytes NameRecord(std::uint16_t flags, std::string_view name, std::uint16_t sheet,
                 const Bytes& tokens) {
    Bytes text{0};
    for (const char c : name) {
        text.push_back(static_cast<std::uint8_t>(c));
    }
    return Record(0x0018, Le16(flags) + Bytes{0, static_cast<std::uint8_t>(name.size())} +
                              Le16(static_cast<std::uint16_t>(tokens.size())) + Le16(0) +
                              Le16(sheet) + Bytes{0, 0, 0, 0} + text + tokens);
}

TEST(FormulaText, WorkbookNamesDecodeThroughTheirBooksAndSheetEntries) {
    const std::vector<Bytes> globals = {
        Record(0x01AE, Le16(1) + Le16(5) + Bytes{0} + Bytes{'b', 'o', 'o', 'k', '2'} +
                           UnicodeString("Rates")),
        Record(0x01AE, Le16(2) + Le16(0x0401)),
        Record(0x0017, Le16(3) + Le16(1) + Le16(1) + Le16(1) + Le16(0) + Le16(0) + Le16(0) +
                           Le16(1) + Le16(0xFFFF) + Le16(0xFFFF)),
        NameRecord(0x0021, "\x06", 2, Area3d(0, 0, 1, 0, 1)),
        NameRecord(0x0000, "Ext", 0, Ref3d(1, 2, 2)),
        NameRecord(0x000C, "Go", 0, {}),
        Record(0x0018, Le16(0) + Bytes{0, 9}),  // cut short
        NameRecord(0x0000, "Gone", 0, Ref3d(2, 0, 0) + Name(1) + Op(0x10)),
    };
    const Bytes stream = WorkbookStream(globals, {{"Data", {}}, {"My Sheet", {}}});
    EXPECT_TRUE(ReadWorkbookStream(stream).names.names.empty()) << "read only when asked";

    const Workbook workbook = ReadWorkbookStream(stream, {.cells = false, .names = true});
    const WorkbookNames& names = workbook.names;
    ASSERT_EQ(names.names.size(), 5u);
    EXPECT_EQ(names.damagedRecords, 1u);
    EXPECT_EQ(names.names[0].name, "_xlnm.Print_Area");
    EXPECT_TRUE(names.names[0].hidden);
    EXPECT_EQ(names.names[0].sheet, std::optional<std::size_t>(1));
    EXPECT_TRUE(names.names[2].macro && names.names[2].vbProcedure && !names.names[2].function);
    EXPECT_EQ(names.names[3].name, "") << "a damaged name keeps its index";

    const FormulaContext context = FormulaContextOf(names, {"Data", "My Sheet"});
    const std::pair<std::size_t, std::string> expected[] = {
        {0, "'My Sheet'!$A$1:$B$2"}, {1, "[1]Rates!$C$3"}, {4, "#REF!,_xlnm.Print_Area"}};
    for (const auto& [index, text] : expected) {
        const DefinedName& name = names.names[index];
        EXPECT_EQ(DecodeFormula(name.tokens, context, name.trailing).text, text) << name.name;
    }
}

}  // namespace
}  // namespace tabrook::calcserver::biff
