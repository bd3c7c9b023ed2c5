#include "calcserver/biff/biff_workbook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>

#include "biff/biff_builder.h"
#include "support/temp_dir.h"

namespace tabrook::calcserver::biff {
namespace {

using namespace tabrook::testing::biff;
using tabrook::testing::TempDir;

Bytes Rk(std::uint16_t row, std::uint16_t column, std::uint32_t rk) {
    return CellRecord(0x027E, row, column, Le32(rk));
}
std::uint32_t RkInteger(std::int32_t value) {
    return (static_cast<std::uint32_t>(value) << 2) | 2;
}

TEST(BiffCells, EveryStoredValueKindIsDecoded) {
    const Bytes tokens{0x1E, 0x01, 0x00};  // the formula itself does not matter here
    const std::vector<Bytes> records{
        Number(0, 0, 3.25),
        Rk(0, 1, RkInteger(-7)),
        Rk(0, 2, RkInteger(12345) | 1),  // integer / 100
        Rk(0, 3, 0x3FF80000u),           // the top 30 bits of the double 1.5
        // MULRK: first column, then XF and RK per cell, then the last column.
        Record(0x00BD, Le16(1) + Le16(0) + Le16(0) + Le32(RkInteger(1)) + Le16(0) +
                           Le32(RkInteger(3)) + Le16(1)),
        CellRecord(0x00FD, 2, 0, Le32(1)),  // LABELSST
        CellRecord(0x0204, 2, 1, UnicodeString("Größe 北京 😀")),
        CellRecord(0x0204, 2, 2, UnicodeString("café")),
        BoolErr(3, 0, 1, false),
        BoolErr(3, 1, 0x07, true),
        Formula(4, 0, LeDouble(42), tokens),
        Formula(4, 1, NonNumberResult(1, 0), tokens),
        Formula(4, 2, NonNumberResult(2, 0x2A), tokens),
        Formula(4, 3, NonNumberResult(3), tokens),
        // A text result waits for its STRING record, even past a shared-formula record.
        Formula(5, 0, NonNumberResult(0), tokens),
        Record(0x04BC, Bytes(10, 0)),
        StringResult("its TRUE blue"),
        // A text result whose STRING record never comes has no stored result.
        Formula(5, 1, NonNumberResult(0), tokens),
        Number(5, 2, 8),
        StringResult("belongs to nobody"),
        // Error codes Excel does not define: no value.
        BoolErr(6, 0, 0x99, true),
        Formula(6, 1, NonNumberResult(2, 0x99), tokens),
    };
    struct Case {
        CellAddress at;
        Cell expected;
    };
    const std::vector<Case> cases{
        {{0, 0}, {3.25}},
        {{0, 1}, {-7.0}},
        {{0, 2}, {123.45}},
        {{0, 3}, {1.5}},
        {{1, 0}, {1.0}},
        {{1, 1}, {3.0}},
        {{2, 0}, {std::string("zwei")}},
        {{2, 1}, {std::string("Größe 北京 😀")}},
        {{2, 2}, {std::string("café")}},
        {{3, 0}, {true}},
        {{3, 1}, {ErrorValue{0x07}}},
        {{4, 0}, {42.0, true}},
        {{4, 1}, {false, true}},
        {{4, 2}, {ErrorValue{0x2A}, true}},
        {{4, 3}, {std::string(), true}},
        {{5, 0}, {std::string("its TRUE blue"), true}},
        {{5, 1}, {std::string(), true, false}},
        {{5, 2}, {8.0}},
        {{6, 1}, {ErrorValue{0x99}, true, false}},
    };
    const Workbook workbook = ReadWorkbookStream(
        WorkbookStream({SharedStringTable({"eins", "zwei"})}, {{"Sheet1", records}}));
    const auto& cells = workbook.sheets.at(0).cells;
    EXPECT_EQ(cells.size(), cases.size());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.at.first * 100 + c.at.second);
        ASSERT_EQ(cells.count(c.at), 1u);
        const Cell& cell = cells.at(c.at);
        EXPECT_EQ(cell.value, c.expected.value);
        EXPECT_EQ(cell.isFormula, c.expected.isFormula);
        EXPECT_EQ(cell.hasStoredResult, c.expected.hasStoredResult);
    }
}

TEST(BiffCells, SharedStringsSplitAcrossContinueRecordsAndSkipFormatting) {
    // String 0 has a formatting run and 3 bytes of phonetic data; string 1 starts
    // compressed and goes on in UTF-16 after the CONTINUE boundary, behind a new option byte.
    const Bytes sst = Le32(2) + Le32(2) + Le16(3) + Bytes{0x0C} + Le16(1) + Le32(3) +
                      Bytes{'r', 'u', 'n', 0, 0, 1, 0, 9, 9, 9} + Le16(6) +
                      Bytes{0x00, 'a', 'b', 'c'};
    const Bytes rest{0x01, 'd', 0, 0xE9, 0, 0xAC, 0x20};  // "dé€"
    const auto cells =
        ReadWorkbookStream(
            WorkbookStream(
                {Record(0x00FC, sst), Record(0x003C, rest)},
                {{"S",
                  {CellRecord(0x00FD, 0, 0, Le32(0)), CellRecord(0x00FD, 0, 1, Le32(1)),
                   CellRecord(0x00FD, 0, 2, Le32(7)), CellRecord(0x00FD, 1, 0, Le32(1))}}}))
            .sheets.at(0)
            .cells;
    EXPECT_EQ(cells.at({0, 0}).value, CellValue(std::string("run")));
    EXPECT_EQ(cells.at({0, 1}).value, CellValue(std::string("abcdé€")));
    EXPECT_EQ(cells.count({0, 2}), 0u) << "an index past the table gives no value";
    // Cells that show one shared string hold one copy of it, however long and however many.
    EXPECT_EQ(&std::get<Text>(cells.at({0, 1}).value).str(),
              &std::get<Text>(cells.at({1, 0}).value).str());
}

TEST(BiffSheets, NamesTypesVisibilityAndCodeNamesWithOrWithoutCells) {
    // A chart embedded in a worksheet is a substream of its own inside it.
    const std::vector<SheetSource> sheets{
        {"Données",
         {Number(0, 0, 1), Bof(0x0020), CodeName("Inner"), Number(9, 9, 9), Eof(),
          CodeName("Tabelle1")}},
        {"Hidden", {Number(0, 0, 2)}, 0, 1},
        {"Deep", {}, 0, 2},
        {"Chart1", {Number(0, 0, 3)}, 2},
        {"Dialog1", {Record(0x0081, {0x10, 0x04}), Number(0, 0, 4)}},  // WSBOOL fDialog
    };
    const Bytes stream = WorkbookStream({CodeName("DieseArbeitsmappe")}, sheets);
    for (const bool cells : {true, false}) {
        SCOPED_TRACE(cells);
        const Workbook workbook = ReadWorkbookStream(stream, ReadOptions{cells});
        EXPECT_EQ(workbook.codeName, "DieseArbeitsmappe");
        ASSERT_EQ(workbook.sheets.size(), 5u);
        const auto& s = workbook.sheets;
        EXPECT_EQ(s[0].name, "Données");
        EXPECT_EQ(s[0].codeName, "Tabelle1");
        EXPECT_EQ(s[0].cells.size(), cells ? 1u : 0u);
        using V = Sheet::Visibility;
        EXPECT_EQ(std::vector<V>({s[0].visibility, s[1].visibility, s[2].visibility}),
                  std::vector<V>({V::Visible, V::Hidden, V::VeryHidden}));
        EXPECT_EQ(std::vector<bool>({s[1].isWorksheet, s[3].isWorksheet, s[4].isWorksheet}),
                  std::vector<bool>({true, false, false}));
        EXPECT_TRUE(s[3].cells.empty() && s[4].cells.empty());
    }
}

TEST(BiffRefusals, FilesItCannotReadGetAPlainReason) {
    const Bytes good = WorkbookStream({}, {{"S", {Number(0, 0, 1)}}});
    Bytes farSheet = good;
    farSheet[20 + 4 + 2] = 0x7F;  // the first BOUNDSHEET8's position, after the BOF
    // Sheets that name one substream, or the globals, would have it read once per name.
    Bytes sharedSheet = WorkbookStream({}, {{"S", {Number(0, 0, 1)}}, {"T", {}}});
    std::copy_n(sharedSheet.begin() + 24, 4, sharedSheet.begin() + 24 + 13);
    Bytes globalsSheet = good;
    std::fill_n(globalsSheet.begin() + 24, 4, 0);
    const std::vector<std::tuple<const char*, std::function<void(const std::filesystem::path&)>>>
        refusals{
            {"cannot open", [](const auto&) {}},
            {"compound file", [](const auto& f) { std::ofstream(f) << "not a workbook"; }},
            {"BIFF5", [&](const auto& f) { WriteCompoundFile(f, good, "Book"); }},
            {"BIFF5", [](const auto& f) { WriteCompoundFile(f, Bof(5, 0x0500) + Eof()); }},
            {"2.x-4.0", [](const auto& f) { WriteCompoundFile(f, Record(0x0409, Bytes(6))); }},
            {"no workbook", [&](const auto& f) { WriteCompoundFile(f, good, "Other"); }},
            {"encrypted",
             [](const auto& f) {
                 WriteCompoundFile(f, WorkbookStream({Record(0x002F, Bytes(6))}, {}));
             }},
            {"ends inside",
             [&](const auto& f) { WriteCompoundFile(f, Bytes(good.begin(), good.end() - 3)); }},
            {"past the end", [&](const auto& f) { WriteCompoundFile(f, farSheet); }},
            {"overlaps", [&](const auto& f) { WriteCompoundFile(f, sharedSheet); }},
            {"overlaps", [&](const auto& f) { WriteCompoundFile(f, globalsSheet); }},
        };
    for (const auto& [reason, write] : refusals) {
        TempDir dir;
        write(dir.Path() / "book.xls");
        try {
            ReadWorkbook(dir.Path() / "book.xls", ReadOptions{false});
            ADD_FAILURE() << "read without complaint: " << reason;
        } catch (const BiffError& error) {
            EXPECT_THAT(error.what(), ::testing::HasSubstr(reason));
        }
    }
}

}  // namespace
}  // namespace tabrook::calcserver::biff
