#include "calcserver/biff/biff_workbook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "biff/biff_builder.h"
#include "support/temp_dir.h"

namespace tabrook::calcserver::biff {
namespace {

using namespace tabrook::testing::biff;
using tabrook::testing::TempDir;
using ::testing::HasSubstr;

constexpr std::uint16_t kShrFmla = 0x04BC;
constexpr std::uint16_t kContinue = 0x003C;
constexpr std::uint16_t kWsBool = 0x0081;

Bytes Concat(Bytes first, const Bytes& second) {
    Append(first, second);
    return first;
}

Workbook ReadBuilt(const Bytes& stream, bool cells = true) {
    return ReadWorkbookStream(stream, ReadOptions{cells});
}

std::uint32_t RkInteger(std::int32_t value, bool times100 = false) {
    return (static_cast<std::uint32_t>(value) << 2) | 0x02u | (times100 ? 0x01u : 0u);
}

struct CellCase {
    const char* what;
    CellAddress at;
    Cell expected;
};

TEST(BiffCells, EveryStoredValueKindIsDecoded) {
    const Bytes anyTokens{0x1E, 0x01, 0x00};  // the formula text does not matter here
    const std::vector<Bytes> records{
        Number(0, 0, 3.25),
        Rk(0, 1, RkInteger(-7)),
        Rk(0, 2, RkInteger(12345, true)),
        Rk(0, 3, 0x3FF80000u),  // the top 30 bits of 1.5
        MulRk(1, 0, {RkInteger(1), RkInteger(2), RkInteger(3)}),
        LabelSst(2, 0, 1),
        Label(2, 1, "Größe 北京 😀"),
        Label(2, 2, "café"),
        BoolErr(3, 0, 1, false),
        BoolErr(3, 1, 0x07, true),
        Formula(4, 0, NumberResult(42), anyTokens),
        Formula(4, 1, SpecialResult(1, 0), anyTokens),
        Formula(4, 2, SpecialResult(2, 0x2A), anyTokens),
        Formula(4, 3, SpecialResult(3), anyTokens),
        Formula(4, 4, SpecialResult(1, 1), anyTokens),
        // A text result waits for its STRING record, even past a shared-formula record.
        Formula(5, 0, SpecialResult(0), anyTokens),
        Record(kShrFmla, Bytes(10, 0)),
        StringResult("its TRUE blue"),
        // A text result whose STRING record never comes has no stored result.
        Formula(5, 1, SpecialResult(0), anyTokens),
        Number(5, 2, 8),
        StringResult("belongs to nobody"),
    };
    const Bytes stream =
        WorkbookStream({SharedStringTable({"eins", "zwei"})}, {SheetSource{"Sheet1", records}});
    const std::vector<CellCase> cases{
        {"NUMBER", {0, 0}, {3.25}},
        {"RK integer", {0, 1}, {-7.0}},
        {"RK integer / 100", {0, 2}, {123.45}},
        {"RK double", {0, 3}, {1.5}},
        {"MULRK first", {1, 0}, {1.0}},
        {"MULRK last", {1, 2}, {3.0}},
        {"LABELSST", {2, 0}, {std::string("zwei")}},
        {"LABEL UTF-16 with a surrogate pair", {2, 1}, {std::string("Größe 北京 😀")}},
        {"LABEL compressed Latin-1", {2, 2}, {std::string("café")}},
        {"BOOLERR boolean", {3, 0}, {true}},
        {"BOOLERR error", {3, 1}, {ErrorValue{0x07}}},
        {"FORMULA number", {4, 0}, {42.0, true}},
        {"FORMULA false", {4, 1}, {false, true}},
        {"FORMULA error", {4, 2}, {ErrorValue{0x2A}, true}},
        {"FORMULA empty text", {4, 3}, {std::string(), true}},
        {"FORMULA true", {4, 4}, {true, true}},
        {"FORMULA text from STRING", {5, 0}, {std::string("its TRUE blue"), true}},
        {"FORMULA text without STRING", {5, 1}, {std::string(), true, false}},
        {"NUMBER after it", {5, 2}, {8.0}},
    };
    const Workbook workbook = ReadBuilt(stream);
    ASSERT_EQ(workbook.sheets.size(), 1u);
    const auto& cells = workbook.sheets[0].cells;
    EXPECT_EQ(cells.size(), cases.size() + 1);  // the middle MULRK cell is not listed
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto found = cells.find(c.at);
        ASSERT_NE(found, cells.end());
        EXPECT_EQ(found->second.value, c.expected.value);
        EXPECT_EQ(found->second.isFormula, c.expected.isFormula);
        EXPECT_EQ(found->second.hasStoredResult, c.expected.hasStoredResult);
    }
}

TEST(BiffCells, SharedStringsSplitAcrossContinueRecordsAndSkipFormatting) {
    // String 0 carries rich-text runs and a phonetic block; string 1 starts compressed
    // and goes on in UTF-16 after a CONTINUE record boundary.
    Bytes sst;
    Put32(sst, 2);
    Put32(sst, 2);
    Put16(sst, 3);
    sst.push_back(0x08 | 0x04);
    Put16(sst, 1);  // one formatting run
    Put32(sst, 3);  // three bytes of phonetic data
    Append(sst, {'r', 'u', 'n'});
    Append(sst, {0, 0, 1, 0});
    Append(sst, {9, 9, 9});
    Put16(sst, 6);
    sst.push_back(0x00);
    Append(sst, {'a', 'b', 'c'});
    Bytes rest{0x01};
    Append(rest, {'d', 0, 0xE9, 0, 0xAC, 0x20});  // "dé€" as UTF-16LE
    const Bytes stream = WorkbookStream(
        {Record(0x00FC, sst), Record(kContinue, rest)},
        {SheetSource{"S", {LabelSst(0, 0, 0), LabelSst(0, 1, 1), LabelSst(0, 2, 7)}}});

    const auto& cells = ReadBuilt(stream).sheets.at(0).cells;
    EXPECT_EQ(cells.at({0, 0}).value, CellValue(std::string("run")));
    EXPECT_EQ(cells.at({0, 1}).value, CellValue(std::string("abcdé€")));
    EXPECT_EQ(cells.count({0, 2}), 0u) << "an index past the table gives no value";
}

TEST(BiffSheets, NamesTypesVisibilityAndCodeNamesWithOrWithoutCells) {
    SheetSource data{"Données", {Number(0, 0, 1), CodeName("Tabelle1")}};
    SheetSource hidden{"Hidden", {Number(0, 0, 2)}, 0, 1};
    SheetSource veryHidden{"Deep", {}, 0, 2};
    SheetSource chart{"Chart1", {Number(0, 0, 3)}, 2, 0, 0x0020};
    SheetSource dialog{"Dialog1", {Record(kWsBool, {0x10, 0x04}), Number(0, 0, 4)}};
    // A chart embedded in a worksheet is a substream of its own: its records are not the
    // worksheet's.
    SheetSource withChart{"Embeds",
                          {Number(0, 0, 5), Bof(0x0020), CodeName("Inner"), Number(9, 9, 9), Eof(),
                           CodeName("Tabelle2")}};
    const Bytes stream = WorkbookStream({CodeName("DieseArbeitsmappe")},
                                        {data, hidden, veryHidden, chart, dialog, withChart});

    for (const bool cells : {true, false}) {
        SCOPED_TRACE(cells ? "with cells" : "names only");
        const Workbook workbook = ReadBuilt(stream, cells);
        EXPECT_EQ(workbook.codeName, "DieseArbeitsmappe");
        ASSERT_EQ(workbook.sheets.size(), 6u);
        const auto& s = workbook.sheets;
        EXPECT_EQ(s[0].name, "Données");
        EXPECT_EQ(s[0].codeName, "Tabelle1");
        EXPECT_EQ(s[1].visibility, Sheet::Visibility::Hidden);
        EXPECT_EQ(s[2].visibility, Sheet::Visibility::VeryHidden);
        EXPECT_EQ(s[0].visibility, Sheet::Visibility::Visible);
        EXPECT_EQ(std::vector<bool>({s[0].isWorksheet, s[1].isWorksheet, s[3].isWorksheet,
                                     s[4].isWorksheet, s[5].isWorksheet}),
                  std::vector<bool>({true, true, false, false, true}));
        EXPECT_EQ(s[5].codeName, "Tabelle2");
        EXPECT_EQ(s[0].cells.size(), cells ? 1u : 0u);
        EXPECT_EQ(s[5].cells.size(), cells ? 1u : 0u);
        EXPECT_TRUE(s[3].cells.empty());
        EXPECT_TRUE(s[4].cells.empty());
    }
}

struct Refusal {
    const char* what;
    std::function<void(const std::filesystem::path&)> write;
    const char* reason;
};

TEST(BiffRefusals, FilesItCannotReadGetAPlainReason) {
    const Bytes good = WorkbookStream({}, {SheetSource{"S", {Number(0, 0, 1)}}});
    Bytes farSheet = good;
    // The first BOUNDSHEET8 follows the 20-byte BOF; its position field starts 4 bytes in.
    const std::size_t positionField = 20 + 4;
    farSheet[positionField + 2] = 0x7F;
    Bytes encrypted = WorkbookStream({Record(0x002F, Bytes(6, 0))}, {});

    const std::vector<Refusal> refusals{
        {"a missing file", [](const auto&) {}, "cannot open"},
        {"a text file", [](const auto& f) { std::ofstream(f) << "not a workbook"; },
         "compound file"},
        {"an Excel 5 Book stream", [&](const auto& f) { WriteCompoundFile(f, good, "Book"); },
         "BIFF5"},
        {"a BIFF5 BOF in a Workbook stream",
         [](const auto& f) { WriteCompoundFile(f, Concat(Bof(5, 0x0500), Eof())); }, "BIFF5"},
        {"a BIFF4 BOF", [](const auto& f) { WriteCompoundFile(f, Record(0x0409, Bytes(6, 0))); },
         "2.x-4.0"},
        {"no workbook stream", [&](const auto& f) { WriteCompoundFile(f, good, "Something"); },
         "no workbook"},
        {"an encrypted workbook", [&](const auto& f) { WriteCompoundFile(f, encrypted); },
         "encrypted"},
        {"a truncated record",
         [&](const auto& f) { WriteCompoundFile(f, Bytes(good.begin(), good.end() - 3)); },
         "ends inside"},
        {"a sheet placed past the end", [&](const auto& f) { WriteCompoundFile(f, farSheet); },
         "past the end"},
    };
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.what);
        TempDir dir;
        const auto file = dir.Path() / "book.xls";
        refusal.write(file);
        try {
            ReadWorkbook(file, ReadOptions{false});
            ADD_FAILURE() << "read without complaint";
        } catch (const BiffError& error) {
            EXPECT_THAT(error.what(), HasSubstr(refusal.reason));
        }
    }
}

TEST(BiffFiles, CompoundFileRoundTrip) {
    TempDir dir;
    const auto file = dir.Path() / "book.xls";
    WriteCompoundFile(file, WorkbookStream({}, {SheetSource{"Only", {Label(3, 4, "x")}}}));
    const Workbook workbook = ReadWorkbook(file);
    ASSERT_EQ(workbook.sheets.size(), 1u);
    EXPECT_EQ(workbook.sheets[0].name, "Only");
    EXPECT_EQ(workbook.sheets[0].cells.at({3, 4}).value, CellValue(std::string("x")));
}

}  // namespace
}  // namespace tabrook::calcserver::biff
