// Record framing, the RK number form and strings, checked against byte sequences worked
// out by hand from the binary workbook format; then a few record bodies of a real
// transcoding.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "calcserver/package/zip_package.h"
#include "calcserver/xlsb/record_writer.h"
#include "calcserver/xlsb/rk_number.h"
#include "calcserver/xlsb/shared_strings_writer.h"
#include "calcserver/xlsb/styles_writer.h"
#include "calcserver/xlsb/transcoder.h"
#include "support/temp_dir.h"
#include "xlsb_test_support.h"

namespace tabrook::calcserver::xlsb {
namespace {

using testing::TempDir;
using testing::xlsb::Hex;
using testing::xlsb::ReadRecords;
using testing::xlsb::Record;
using testing::xlsb::TestSheet;
using testing::xlsb::WriteXlsx;

TEST(RecordHeader, TypeAndSizeUseSevenBitGroups) {
    struct Case {
        std::uint32_t type;
        std::size_t size;
        const char* bytes;
    };
    const Case cases[] = {
        {0x0000, 0, "00 00"},                    // BrtRowHdr, empty
        {0x007F, 127, "7F 7F"},                  // largest one-byte type and size
        {0x0083, 0, "83 01 00"},                 // BrtBeginBook
        {0x0080, 128, "80 01 80 01"},            // both need a second byte
        {0x01AA, 16383, "AA 03 FF 7F"},          // BrtArrFmla, two-byte size
        {0x3FFF, 2097152, "FF 7F 80 80 80 01"},  // largest type, four-byte size
        {0x0001, (1u << 28) - 1, "01 FF FF FF 7F"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Hex(RecordHeader(c.type, c.size)), c.bytes) << c.type << "/" << c.size;
    }
    EXPECT_THROW(RecordHeader(0x4000, 0), XlsbError);
    EXPECT_THROW(RecordHeader(1, std::size_t{1} << 28), XlsbError);
}

TEST(RkNumber, UsesTheExactFormOrNone) {
    struct Case {
        double value;
        std::optional<std::uint32_t> rk;
    };
    const Case cases[] = {
        {0.0, 0x00000002},          // integer 0
        {1.0, 0x00000006},          // integer 1: 1 << 2 | integer flag
        {-1.0, 0xFFFFFFFE},         // the sign lives in the top bit of the 30-bit integer
        {536870911.0, 0x7FFFFFFE},  // 2^29 - 1, largest integer form
        {536870912.0, 0x41C00000},  // 2^29 as the top half of the double
        {0.5, 0x3FE00000},          // a double whose low 34 bits are zero
        {1.23, 0x000001EF},         // 123 / 100: integer form, times-100 flag
        {-0.07, 0xFFFFFFE7},        // -7 / 100
        {0.1, 0x0000002B},          // 10 / 100 gives back exactly the double 0.1
        {3.14159, std::nullopt},    // needs all 64 bits
        {1e10, std::nullopt},
        {-0.0, std::nullopt},  // would come back as +0
        {std::numeric_limits<double>::quiet_NaN(), std::nullopt},
        {std::numeric_limits<double>::infinity(), std::nullopt},
    };
    for (const Case& c : cases) {
        const auto rk = EncodeRk(c.value);
        EXPECT_EQ(rk, c.rk) << c.value;
        if (rk) {
            EXPECT_EQ(DecodeRk(*rk), c.value) << c.value;
        }
    }
}

TEST(WideString, CountsUtf16UnitsAndReplacesBadBytes) {
    struct Case {
        const char* utf8;
        const char* bytes;
    };
    const Case cases[] = {
        {"", "00 00 00 00"},
        {"A\xC3\xA9", "02 00 00 00 41 00 E9 00"},         // é
        {"\xF0\x9F\x98\x80", "02 00 00 00 3D D8 00 DE"},  // U+1F600 as a surrogate pair
        {"\xFF"
         "a",
         "02 00 00 00 FD FF 61 00"},              // stray byte
        {"\xE2\x82", "02 00 00 00 FD FF FD FF"},  // truncated sequence
        {"\xC0\xAF", "02 00 00 00 FD FF FD FF"},  // overlong '/'
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Hex(Body().WideString(c.utf8).Bytes()), c.bytes) << c.bytes;
    }
    EXPECT_EQ(Hex(Body().NullableWideString(std::nullopt).Bytes()), "FF FF FF FF");
}

std::vector<std::string> Bodies(const std::filesystem::path& xlsb, const std::string& part,
                                std::uint32_t type) {
    const package::ZipReader zip(xlsb);
    std::vector<std::string> out;
    for (const Record& record : ReadRecords(zip.Read(part))) {
        if (record.type == type) {
            out.push_back(Hex(record.body));
        }
    }
    return out;
}

// The first record of `type` in a part of the transcoded package.
std::string FirstBody(const std::filesystem::path& xlsb, const std::string& part,
                      std::uint32_t type) {
    const package::ZipReader zip(xlsb);
    for (const Record& record : ReadRecords(zip.Read(part))) {
        if (record.type == type) {
            return Hex(record.body);
        }
    }
    ADD_FAILURE() << "no record " << type << " in " << part;
    return "";
}

TEST(TranscodedRecords, CellAndSheetBodiesMatchTheFormat) {
    TempDir dir;
    const auto xlsx = dir.Path() / "in.xlsx";
    WriteXlsx(xlsx,
              {{"Data",
                "<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\"><v>3.14159</v></c>"
                "<c r=\"C1\" t=\"b\"><v>1</v></c><c r=\"D1\" t=\"e\"><v>#DIV/0!</v></c>"
                "<c r=\"E1\" s=\"0\"/><c r=\"F1\" t=\"str\"><v>hi</v></c></row>"
                "<row r=\"3\" ht=\"30\" customHeight=\"1\" hidden=\"1\"><c "
                "r=\"B3\"><f>A1*2</f><v>2</v></c></row>",
                "<mergeCells count=\"1\"><mergeCell ref=\"B2:C4\"/></mergeCells>", ""},
               {"Secret", "", "", "veryHidden"}},
              "<definedNames><definedName name=\"Two\">Data!$A$1:$B$2</definedName>"
              "<definedName name=\"_xlnm.Print_Area\" localSheetId=\"0\">Data!$A$1</definedName>"
              "<definedName name=\"Go\" function=\"1\" vbProcedure=\"1\"></definedName>"
              "</definedNames>");
    const auto xlsb = dir.Path() / "out.xlsb";
    const TranscodeReport report = TranscodeToXlsb(xlsx, xlsb);
    EXPECT_EQ(report.cells, 7u);
    EXPECT_EQ(report.formulas, 1u);
    EXPECT_EQ(report.unencodedCount, 0u);

    const std::string sheet = "xl/worksheets/sheet1.bin";
    // Cell header: column, style; then the value.
    EXPECT_EQ(FirstBody(xlsb, sheet, 0x0002), "00 00 00 00 00 00 00 00 06 00 00 00");  // RK 1
    EXPECT_EQ(FirstBody(xlsb, sheet, 0x0005),
              "01 00 00 00 00 00 00 00 6E 86 1B F0 F9 21 09 40");             // 3.14159
    EXPECT_EQ(FirstBody(xlsb, sheet, 0x0004), "02 00 00 00 00 00 00 00 01");  // TRUE
    EXPECT_EQ(FirstBody(xlsb, sheet, 0x0003), "03 00 00 00 00 00 00 00 07");  // #DIV/0!
    EXPECT_EQ(FirstBody(xlsb, sheet, 0x0001), "04 00 00 00 00 00 00 00");     // blank
    EXPECT_EQ(FirstBody(xlsb, sheet, 0x0006), "05 00 00 00 00 00 00 00 02 00 00 00 68 00 69 00");
    // Number formula: cell, cached 2.0, flags, 7 token bytes A1*2, no extra data.
    EXPECT_EQ(FirstBody(xlsb, sheet, 0x0009),
              "01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 40 00 00 "
              "0B 00 00 00 44 00 00 00 00 00 C0 1E 02 00 05 00 00 00 00");
    // Rows: index, style, height in twips, flags (hidden 0x1000, custom height 0x2000), spans.
    EXPECT_EQ(Bodies(xlsb, sheet, 0x0000),
              (std::vector<std::string>{"00 00 00 00 00 00 00 00 2C 01 00 00 00 00 00 00 00",
                                        "02 00 00 00 00 00 00 00 58 02 00 30 00 00 00 00 00"}));
    EXPECT_EQ(FirstBody(xlsb, sheet, 0x00B0), "01 00 00 00 03 00 00 00 01 00 00 00 02 00 00 00");

    const std::string book = "xl/workbook.bin";
    // The very hidden sheet: state 2, sheet id 2, relationship id, name.
    const std::vector<std::string> bundles = Bodies(xlsb, book, 0x009C);
    ASSERT_EQ(bundles.size(), 2u);
    EXPECT_EQ(bundles[1],
              "02 00 00 00 02 00 00 00 04 00 00 00 72 00 49 00 64 00 32 00 "
              "06 00 00 00 53 00 65 00 63 00 72 00 65 00 74 00");
    // Extern sheet table: one entry, this workbook (link 0), sheet 0 to 0.
    EXPECT_EQ(FirstBody(xlsb, book, 0x016A), "01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
    // Defined names: flags, key, scope, name, formula, no comment. A built-in name carries
    // the built-in flag (0x20) and its bare name.
    const std::vector<std::string> names = Bodies(xlsb, book, 0x0027);
    ASSERT_EQ(names.size(), 3u);
    // A name bound to a VBA procedure: fOB and fProc, and no formula.
    EXPECT_EQ(names[2],
              "0C 00 00 00 00 FF FF FF FF 02 00 00 00 47 00 6F 00 "
              "00 00 00 00 00 00 00 00 FF FF FF FF");
    EXPECT_EQ(names[1],
              "20 00 00 00 00 00 00 00 00 0A 00 00 00 50 00 72 00 69 00 6E 00 74 00 5F 00 "
              "41 00 72 00 65 00 61 00 09 00 00 00 3A 00 00 00 00 00 00 00 00 00 00 00 00 "
              "FF FF FF FF");
    EXPECT_EQ(names[0],
              "00 00 00 00 00 FF FF FF FF 03 00 00 00 54 00 77 00 6F 00 "
              "0F 00 00 00 3B 00 00 00 00 00 00 01 00 00 00 00 00 01 00 00 00 00 00 FF FF FF FF");
}

// Autofilter, conditional formats and validations: bodies worked out by hand, the order the
// sheet part requires, and every rule without a record form reported rather than lost.
TEST(TranscodedRecords, SheetRulesMatchTheFormatAndTheRestIsReported) {
    TempDir dir;
    const auto xlsx = dir.Path() / "rules.xlsx";
    WriteXlsx(xlsx,
              {{"Data", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>",
                "<autoFilter ref=\"A1:C9\"><filterColumn colId=\"1\"><filters blank=\"1\">"
                "<filter val=\"x\"/></filters></filterColumn></autoFilter>"
                "<mergeCells count=\"1\"><mergeCell ref=\"E1:F1\"/></mergeCells>"
                "<conditionalFormatting sqref=\"B2:B5 D2\"><cfRule type=\"cellIs\" dxfId=\"0\" "
                "priority=\"2\" operator=\"between\"><formula>1</formula><formula>$A$1</formula>"
                "</cfRule><cfRule type=\"colorScale\" priority=\"3\"><colorScale><cfvo "
                "type=\"min\"/><cfvo type=\"max\"/><color rgb=\"FFFF0000\"/><color "
                "rgb=\"FF00FF00\"/></colorScale></cfRule></conditionalFormatting>"
                "<conditionalFormatting sqref=\"A1\"><cfRule type=\"expression\" priority=\"1\">"
                "<formula>[1]Ext!A1=1</formula></cfRule></conditionalFormatting>"
                "<dataValidations count=\"1\"><dataValidation type=\"list\" allowBlank=\"1\" "
                "showErrorMessage=\"1\" errorTitle=\"Oops\" sqref=\"C1:C3\"><formula1>\"a,b\""
                "</formula1></dataValidation></dataValidations>"
                "<hyperlinks><hyperlink ref=\"A1\" location=\"Data!B2\"/></hyperlinks>"
                // A form control's anchor names a row of its own, which is no row of cells.
                "<controls xmlns:xdr=\"urn:d\"><control name=\"B\"><controlPr><anchor><from>"
                "<xdr:col>1</xdr:col><xdr:row>7</xdr:row></from></anchor></controlPr></control>"
                "</controls>",
                ""}});
    const auto xlsb = dir.Path() / "out.xlsb";
    const TranscodeReport report = TranscodeToXlsb(xlsx, xlsb);
    const std::string sheet = "xl/worksheets/sheet1.bin";

    // Autofilter A1:C9; column 1 with its button, blanks and "x" shown.
    EXPECT_EQ(FirstBody(xlsb, sheet, 0x00A1), "00 00 00 00 08 00 00 00 00 00 00 00 02 00 00 00");
    EXPECT_EQ(FirstBody(xlsb, sheet, 0x00A3), "01 00 00 00 02 00");
    EXPECT_EQ(FirstBody(xlsb, sheet, 0x00A5), "01 00 00 00 00 00 00 00");
    EXPECT_EQ(FirstBody(xlsb, sheet, 0x00A7), "01 00 00 00 78 00");
    // One rule over B2:B5 and D2; between 1 (PtgInt) and $A$1 (an absolute PtgRef), in
    // format 0, priority 2, no text.
    EXPECT_EQ(Bodies(xlsb, sheet, 0x01CD),
              (std::vector<std::string>{"01 00 00 00 00 00 00 00 02 00 00 00 "
                                        "01 00 00 00 04 00 00 00 01 00 00 00 01 00 00 00 "
                                        "01 00 00 00 01 00 00 00 03 00 00 00 03 00 00 00"}));
    EXPECT_EQ(FirstBody(xlsb, sheet, 0x01CF),
              "01 00 00 00 00 00 00 00 00 00 00 00 02 00 00 00 01 00 00 00 "
              "00 00 00 00 00 00 00 00 00 00 0B 00 00 00 0F 00 00 00 00 00 00 00 FF FF FF FF "
              "03 00 00 00 1E 01 00 00 00 00 00 07 00 00 00 44 00 00 00 00 00 00 00 00 00 00");
    // A list typed in (string lookup 0x80), blanks allowed, error shown with its title.
    EXPECT_EQ(FirstBody(xlsb, sheet, 0x0040),
              "83 01 08 00 01 00 00 00 00 00 00 00 02 00 00 00 02 00 00 00 02 00 00 00 "
              "04 00 00 00 4F 00 6F 00 70 00 73 00 FF FF FF FF FF FF FF FF FF FF FF FF "
              "09 00 00 00 17 03 00 61 00 2C 00 62 00 00 00 00 00 00 00 00 00 00 00 00 00");

    std::vector<std::uint32_t> order;
    const package::ZipReader zip(xlsb);
    for (const Record& record : ReadRecords(zip.Read(sheet))) {
        if (record.type == 0x00A1 || record.type == 0x00B1 || record.type == 0x01CD ||
            record.type == 0x023D || record.type == 0x01EE) {
            order.push_back(record.type);
        }
    }
    EXPECT_EQ(order, (std::vector<std::uint32_t>{0x00A1, 0x00B1, 0x01CD, 0x023D, 0x01EE}));
    EXPECT_EQ(Bodies(xlsb, sheet, 0x0000).size(), 1u);  // the one row of cells

    ASSERT_EQ(report.leftOutCount, 2u);
    EXPECT_EQ(report.leftOut[0].where, "B2:B5 D2");
    EXPECT_NE(report.leftOut[0].what.find("colorScale"), std::string::npos);
    EXPECT_EQ(report.leftOut[1].where, "A1");
    EXPECT_NE(report.leftOut[1].what.find("=[1]Ext!A1=1"), std::string::npos);
}

// A differential format lists only what it sets: background, font colour, weight, one
// border line (automatic colour, thin). LibreOffice's transparent white means no colour:
// automatic for text, no fill at all.
TEST(StyleRecords, DifferentialFormatsFollowTheCellStyles) {
    StylesWriter styles(
        "<styleSheet><dxfs count=\"2\"><dxf><font><b/><color rgb=\"FFFF0000\"/></font><fill>"
        "<patternFill><bgColor rgb=\"FFFFFF00\"/></patternFill></fill><border><left "
        "style=\"thin\"/></border></dxf><dxf><font><color rgb=\"00FFFFFF\"/></font><fill>"
        "<patternFill><bgColor rgb=\"00FFFFFF\"/></patternFill></fill></dxf>"
        "</dxfs></styleSheet>");
    std::vector<std::uint32_t> types;
    std::vector<std::string> dxfs;
    for (const Record& record : ReadRecords(styles.Records())) {
        types.push_back(record.type);
        if (record.type == 0x01FB) {
            dxfs.push_back(Hex(record.body));
        }
    }
    ASSERT_EQ(dxfs.size(), 2u);
    EXPECT_EQ(dxfs[0],
              "00 00 00 00 04 00 02 00 0C 00 05 00 00 00 FF FF 00 FF 05 00 0C 00 05 00 00 00 FF 00 "
              "00 FF 19 00 06 00 BC 02 08 00 0E 00 00 00 00 00 00 00 00 FF 01 00");
    EXPECT_EQ(dxfs[1], "00 00 00 00 01 00 05 00 0C 00 00 00 00 00 00 00 00 FF");
    // After the cell styles, before the end of the style sheet.
    ASSERT_GE(types.size(), 6u);
    EXPECT_EQ(std::vector<std::uint32_t>(types.end() - 6, types.end()),
              (std::vector<std::uint32_t>{0x026C, 0x01F9, 0x01FB, 0x01FB, 0x01FA, 0x0117}));
}

// Runs start at UTF-16 positions of the whole string: escapes count as the one character
// they stand for, a character outside the basic plane as two, phonetic text not at all.
TEST(SharedStringRecords, RunsStartWhereTheirTextBeginsInUtf16) {
    TempDir dir;
    const auto xlsx = dir.Path() / "strings.xlsx";
    {
        package::ZipWriter zip(xlsx);
        zip.Add("xl/sharedStrings.xml",
                "<sst><si><r><t>a_x0041_\xF0\x9F\x98\x80</t></r><rPh><t>yomi</t></rPh>"
                "<r><rPr><b/></rPr><t>b</t></r><r><t>c</t></r></si></sst>");
        zip.Commit();
    }
    StylesWriter styles("");
    const SharedStrings strings =
        ConvertSharedStrings(package::ZipReader(xlsx), "xl/sharedStrings.xml", styles);
    ASSERT_EQ(strings.count, 1u);
    const auto records = ReadRecords(strings.records);
    ASSERT_EQ(records.size(), 3u);  // begin, the item, end
    const std::string& item = records[1].body;
    // flags, 6 UTF-16 units "aA😀bc", then three runs of start and font.
    ASSERT_EQ(item.size(), 1u + 4 + 2 * 6 + 4 + 3 * 4);
    const auto u16 = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(item[at]) |
                                     static_cast<unsigned char>(item[at + 1]) << 8);
    };
    const std::size_t runs = 1 + 4 + 2 * 6 + 4;
    EXPECT_EQ(u16(runs), 0u);
    EXPECT_EQ(u16(runs + 4), 4u);
    EXPECT_EQ(u16(runs + 8), 5u);
}

}  // namespace
}  // namespace tabrook::calcserver::xlsb
