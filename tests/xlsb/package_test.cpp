// The package around the records: part names, content types and relationships as the
// binary workbook has them, parts carried unchanged, and bad input refused without
// leaving anything at the target.

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "calcserver/package/zip_package.h"
#include "calcserver/xlsb/transcoder.h"
#include "support/temp_dir.h"
#include "xlsb_test_support.h"

namespace tabrook::calcserver::xlsb {
namespace {

using package::ZipReader;
using testing::TempDir;
using testing::xlsb::ReadRecords;
using testing::xlsb::TestSheet;
using testing::xlsb::WriteXlsx;

const std::string kVbaBytes("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 not really a project\0\x01", 32);

std::filesystem::path MacroWorkbook(const TempDir& dir) {
    const auto file = dir.Path() / "in.xlsm";
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    WriteXlsx(
        file,
        {{"Data", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>", "<drawing r:id=\"rId1\"/>", ""}},
        "",
        {{"xl/vbaProject.bin", kVbaBytes},
         {"docProps/core.xml",
          "<?xml version=\"1.0\"?><cp:coreProperties "
          "xmlns:cp=\"urn:x\"><cp:title>T</cp:title></cp:coreProperties>"},
         {"xl/drawings/drawing1.xml", "<?xml version=\"1.0\"?><xdr:wsDr xmlns:xdr=\"urn:d\"/>"},
         {"xl/worksheets/_rels/sheet1.xml.rels",
          "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/"
          "package/2006/relationships\"><Relationship Id=\"rId1\" Type=\"" +
              rel + "/drawing\" Target=\"../drawings/drawing1.xml\"/></Relationships>"}});
    return file;
}

TEST(Package, PartsTypesAndRelationshipsAreThoseOfABinaryWorkbook) {
    TempDir dir;
    const auto xlsb = dir.Path() / "out.xlsb";
    TranscodeToXlsb(MacroWorkbook(dir), xlsb);
    const ZipReader zip(xlsb);
    for (const char* part : {"xl/workbook.bin", "xl/worksheets/sheet1.bin", "xl/styles.bin",
                             "xl/_rels/workbook.bin.rels", "xl/worksheets/_rels/sheet1.bin.rels",
                             "xl/drawings/drawing1.xml", "docProps/core.xml", "_rels/.rels"}) {
        EXPECT_TRUE(zip.Has(part)) << part;
    }
    for (const char* part :
         {"xl/workbook.xml", "xl/worksheets/sheet1.xml", "xl/_rels/workbook.xml.rels"}) {
        EXPECT_FALSE(zip.Has(part)) << part;
    }
    EXPECT_EQ(zip.Read("xl/vbaProject.bin"), kVbaBytes);

    const std::string types = zip.Read("[Content_Types].xml");
    for (const char* expected :
         {"Extension=\"bin\" "
          "ContentType=\"application/vnd.ms-excel.sheet.binary.macroEnabled.main\"",
          "PartName=\"/xl/worksheets/sheet1.bin\" "
          "ContentType=\"application/vnd.ms-excel.worksheet\"",
          "PartName=\"/xl/styles.bin\" ContentType=\"application/vnd.ms-excel.styles\"",
          "PartName=\"/xl/vbaProject.bin\" ContentType=\"application/vnd.ms-office.vbaProject\""}) {
        EXPECT_NE(types.find(expected), std::string::npos) << expected << "\n" << types;
    }
    EXPECT_NE(zip.Read("_rels/.rels").find("Target=\"xl/workbook.bin\""), std::string::npos);
    const std::string bookRels = zip.Read("xl/_rels/workbook.bin.rels");
    EXPECT_NE(bookRels.find("Target=\"worksheets/sheet1.bin\""), std::string::npos) << bookRels;
    EXPECT_NE(bookRels.find("relationships/vbaProject\" Target=\"vbaProject.bin\""),
              std::string::npos)
        << bookRels;
    EXPECT_NE(zip.Read("xl/worksheets/_rels/sheet1.bin.rels").find("../drawings/drawing1.xml"),
              std::string::npos);
    // The sheet points at its drawing by relationship id.
    bool drawing = false;
    for (const auto& record : ReadRecords(zip.Read("xl/worksheets/sheet1.bin"))) {
        drawing = drawing || (record.type == 0x0226 &&
                              record.body == std::string("\x04\0\0\0r\0I\0d\0\x31\0", 12));
    }
    EXPECT_TRUE(drawing);
}

TEST(Package, CodeNamesPanesProtectionAndPageSettingsReachTheirRecords) {
    TempDir dir;
    const auto xlsx = dir.Path() / "in.xlsx";
    WriteXlsx(xlsx, {{"Data", "", "", ""}}, "");
    // Code names live in workbookPr and sheetPr, ahead of the parts WriteXlsx makes.
    {
        const ZipReader source(xlsx);
        std::string book = source.Read("xl/workbook.xml");
        book.replace(book.find("<sheets>"), 0, "<workbookPr codeName=\"DieseArbeitsmappe\"/>");
        std::string sheet = source.Read("xl/worksheets/sheet1.xml");
        sheet.replace(
            sheet.find("<sheetData>"), 0,
            "<sheetPr codeName=\"Tabelle1\"/><sheetViews><sheetView tabSelected=\"1\">"
            "<pane xSplit=\"1\" ySplit=\"2\" topLeftCell=\"B3\" activePane=\"bottomRight\" "
            "state=\"frozen\"/></sheetView></sheetViews>");
        sheet.replace(sheet.find("</worksheet>"), 0,
                      "<sheetProtection password=\"CC1A\" sheet=\"1\" formatColumns=\"0\"/>"
                      "<printOptions gridLines=\"1\"/><pageSetup paperSize=\"9\" scale=\"80\" "
                      "orientation=\"landscape\"/><headerFooter><oddHeader>&amp;CTitle</oddHeader>"
                      "</headerFooter>");
        package::ZipWriter rewrite(dir.Path() / "coded.xlsx");
        for (const auto& name : source.EntryNames()) {
            if (name == "xl/workbook.xml") {
                rewrite.Add(name, book);
            } else if (name == "xl/worksheets/sheet1.xml") {
                rewrite.Add(name, sheet);
            } else {
                rewrite.CopyFrom(source, name);
            }
        }
        rewrite.Commit();
    }
    const auto xlsb = dir.Path() / "out.xlsb";
    TranscodeToXlsb(dir.Path() / "coded.xlsx", xlsb);
    const ZipReader zip(xlsb);
    const auto utf16 = [](std::string_view text) {
        std::string out;
        for (char c : text) {
            out += c;
            out += '\0';
        }
        return out;
    };
    bool bookName = false;
    for (const auto& record : ReadRecords(zip.Read("xl/workbook.bin"))) {
        bookName = bookName ||
                   (record.type == 0x0099 && record.body.ends_with(utf16("DieseArbeitsmappe")));
    }
    bool sheetName = false;
    std::string pane;
    std::map<std::uint32_t, std::string> page;
    for (const auto& record : ReadRecords(zip.Read("xl/worksheets/sheet1.bin"))) {
        sheetName =
            sheetName || (record.type == 0x0093 && record.body.ends_with(utf16("Tabelle1")));
        if (record.type == 0x0097) {
            pane = testing::xlsb::Hex(record.body);
        }
        page[record.type] = testing::xlsb::Hex(record.body);
    }
    // Frozen after one column and two rows: splits, top-left cell B3, bottom-right pane.
    EXPECT_EQ(
        pane,
        "00 00 00 00 00 00 F0 3F 00 00 00 00 00 00 00 40 02 00 00 00 01 00 00 00 00 00 00 00 03");
    // Protected with the legacy hash CC1A; of the actions locked by default, only column
    // formatting is allowed (1); objects, scenarios and cell selection stay allowed.
    EXPECT_EQ(page[0x0217],
              "1A CC 01 00 00 00 01 00 00 00 01 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00 "
              "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00 "
              "00 00 00 00 00 00 00 00 01 00 00 00");
    // Print grid lines; A4 at 80 % landscape; a centred header "Title".
    EXPECT_EQ(page[0x01DD], "08 00");
    EXPECT_EQ(page[0x01DE],
              "09 00 00 00 50 00 00 00 58 02 00 00 58 02 00 00 01 00 00 00 01 00 00 00 "
              "01 00 00 00 01 00 00 00 02 00 FF FF FF FF");
    EXPECT_EQ(page[0x01DF],
              "0C 00 07 00 00 00 26 00 43 00 54 00 69 00 74 00 6C 00 65 00 "
              "FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF");
    EXPECT_TRUE(bookName);
    EXPECT_TRUE(sheetName);
}

TEST(Package, CommentsBecomeBinaryRecordsThatSheetJsReads) {
    TempDir dir;
    const auto xlsx = dir.Path() / "in.xlsx";
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    WriteXlsx(xlsx, {{"Data", "<row r=\"2\"><c r=\"B2\"><v>1</v></c></row>", "", ""}}, "",
              {{"xl/comments1.xml",
                "<?xml version=\"1.0\"?><comments xmlns=\"http://schemas.openxmlformats.org/"
                "spreadsheetml/2006/main\"><authors><author>Ann</author></authors><commentList>"
                "<comment ref=\"B2\" authorId=\"0\"><text><r><rPr><b/><sz val=\"9\"/></rPr>"
                "<t>Ann:</t></r><r><t xml:space=\"preserve\"> check</t></r></text></comment>"
                "</commentList></comments>"},
               {"xl/worksheets/_rels/sheet1.xml.rels",
                "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/"
                "package/2006/relationships\"><Relationship Id=\"rId1\" Type=\"" +
                    rel + "/comments\" Target=\"../comments1.xml\"/></Relationships>"}});
    const auto xlsb = dir.Path() / "out.xlsb";
    TranscodeToXlsb(xlsx, xlsb);
    const ZipReader zip(xlsb);
    ASSERT_TRUE(zip.Has("xl/comments1.bin"));
    EXPECT_FALSE(zip.Has("xl/comments1.xml"));
    EXPECT_NE(
        zip.Read("[Content_Types].xml")
            .find(
                "PartName=\"/xl/comments1.bin\" ContentType=\"application/vnd.ms-excel.comments\""),
        std::string::npos);
    EXPECT_NE(zip.Read("xl/worksheets/_rels/sheet1.bin.rels").find("Target=\"../comments1.bin\""),
              std::string::npos);
    std::vector<std::string> bodies;
    for (const auto& record : ReadRecords(zip.Read("xl/comments1.bin"))) {
        if (record.type == 0x0278 || record.type == 0x027B || record.type == 0x027D) {
            bodies.push_back(testing::xlsb::Hex(record.body));
        }
    }
    ASSERT_EQ(bodies.size(), 3u);
    EXPECT_EQ(bodies[0], "03 00 00 00 41 00 6E 00 6E 00");  // author "Ann"
    // Author 0, rows 1..1, columns 1..1, an empty GUID.
    EXPECT_EQ(bodies[1].substr(0, 47), "00 00 00 00 01 00 00 00 01 00 00 00 01 00 00 00");
    // Rich text "Ann: check": the bold run gets a new font (1), the second the default (0).
    EXPECT_EQ(bodies[2],
              "01 0A 00 00 00 41 00 6E 00 6E 00 3A 00 20 00 63 00 68 00 65 00 63 00 6B 00 "
              "02 00 00 00 00 00 01 00 04 00 00 00");
    std::string why;
    if (const auto book = testing::xlsb::ReadWithSheetJs(xlsb, why)) {
        EXPECT_EQ(book->comments.at("Data!B2"), "Ann: check");
    }
}

TEST(Package, BadInputIsRefusedAndLeavesNoFile) {
    struct Case {
        const char* what;
        void (*make)(const std::filesystem::path&);
    };
    const Case cases[] = {
        {"not a zip",
         [](const std::filesystem::path& f) { std::ofstream(f, std::ios::binary) << "PK? no"; }},
        {"chart sheet",
         [](const std::filesystem::path& f) {
             WriteXlsx(f, {{"Data", "", "", ""}});
             const ZipReader source(f);
             std::string rels = source.Read("xl/_rels/workbook.xml.rels");
             rels.replace(rels.find("/worksheet\""), 11, "/chartsheet\"");
             package::ZipWriter rewrite(f.string() + ".tmp.xlsx");
             for (const auto& name : source.EntryNames()) {
                 name == "xl/_rels/workbook.xml.rels" ? rewrite.Add(name, rels)
                                                      : rewrite.CopyFrom(source, name);
             }
             rewrite.Commit();
             std::filesystem::rename(f.string() + ".tmp.xlsx", f);
         }},
        {"malformed sheet XML",
         [](const std::filesystem::path& f) {
             WriteXlsx(f, {{"Data", "<row><c r=\"A1\"><v>1</v></row>", "", ""}});
         }},
        {"cell outside the grid",
         [](const std::filesystem::path& f) {
             WriteXlsx(f, {{"Data", "<row><c r=\"XFE1\"><v>1</v></c></row>", "", ""}});
         }},
        {"missing shared string index",
         [](const std::filesystem::path& f) {
             WriteXlsx(f, {{"Data", "<row><c r=\"A1\" t=\"s\"><v>x</v></c></row>", "", ""}});
         }},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const auto input = dir.Path() / "in.xlsx";
        c.make(input);
        const auto target = dir.Path() / "out.xlsb";
        EXPECT_THROW(TranscodeToXlsb(input, target), XlsbError) << c.what;
        std::size_t files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
            files += entry.path() != input ? 1 : 0;
        }
        EXPECT_EQ(files, 0u) << c.what << ": something was left beside the target";
    }
}

TEST(Package, RelationshipIdsAreFoundWhateverTheirPrefix) {
    TempDir dir;
    const auto plain = dir.Path() / "plain.xlsx";
    WriteXlsx(plain, {{"Data", "<row r=\"1\"><c r=\"A1\"><v>5</v></c></row>", "", ""}});
    const ZipReader source(plain);
    std::string book = source.Read("xl/workbook.xml");
    book.replace(book.find("xmlns:r="), 8, "xmlns:q=");
    book.replace(book.find(" r:id="), 6, " q:id=");
    const auto prefixed = dir.Path() / "prefixed.xlsx";
    {
        package::ZipWriter rewrite(prefixed);
        for (const auto& name : source.EntryNames()) {
            name == "xl/workbook.xml" ? rewrite.Add(name, book) : rewrite.CopyFrom(source, name);
        }
        rewrite.Commit();
    }
    const TranscodeReport report = TranscodeToXlsb(prefixed, dir.Path() / "out.xlsb");
    EXPECT_EQ(report.cells, 1u);
}

TEST(Package, NeverWritesOverItsOwnSource) {
    TempDir dir;
    const auto input = dir.Path() / "same.xlsx";
    WriteXlsx(input, {{"Data", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>", "", ""}});
    const auto before = std::filesystem::file_size(input);
    EXPECT_THROW(TranscodeToXlsb(input, input), XlsbError);
    EXPECT_EQ(std::filesystem::file_size(input), before);
    EXPECT_THROW(TranscodeToXlsb(input, dir.Path() / "missing" / "out.xlsb"), XlsbError);
}

}  // namespace
}  // namespace tabrook::calcserver::xlsb
