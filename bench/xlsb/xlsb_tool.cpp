// Command-line access to the binary workbook writer, for benchmarks and corpus runs:
//   xlsb_tool transcode <in.xlsx> <out.xlsb>   writes the .xlsb and prints the report
//   xlsb_tool generate <cells> <out.xlsx>      writes a one-sheet workbook of about
//                                              <cells> cells (numbers, text, formulas)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "calcserver/package/zip_package.h"
#include "calcserver/xlsb/transcoder.h"

namespace {

using tabrook::calcserver::package::ZipWriter;
namespace xlsb = tabrook::calcserver::xlsb;

std::string Column(int col) {
    std::string letters;
    for (int c = col + 1; c > 0; c = (c - 1) / 26) {
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    }
    return letters;
}

int Generate(long cells, const std::filesystem::path& out) {
    constexpr int kCols = 20;
    const long rows = (cells + kCols - 1) / kCols;
    const std::filesystem::path sheet = out.string() + ".sheet1.xml";
    {
        std::ofstream file(sheet, std::ios::binary);
        file << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                "<dimension ref=\"A1:"
             << Column(kCols - 1) << rows << "\"/><sheetData>";
        for (long r = 1; r <= rows; ++r) {
            file << "<row r=\"" << r << "\">";
            for (int c = 0; c < kCols; ++c) {
                const std::string ref = Column(c) + std::to_string(r);
                if (c == kCols - 1) {
                    file << "<c r=\"" << ref << "\"><f>SUM(A" << r << ":" << Column(kCols - 3) << r
                         << ")*2</f><v>0</v></c>";
                } else if (c % 5 == 4) {
                    file << "<c r=\"" << ref << "\" t=\"s\"><v>" << (r % 100) << "</v></c>";
                } else {
                    file << "<c r=\"" << ref << "\"><v>" << (r * 0.25 + c) << "</v></c>";
                }
            }
            file << "</row>";
        }
        file << "</sheetData></worksheet>";
    }
    std::string strings =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";
    for (int i = 0; i < 100; ++i) {
        strings += "<si><t>text " + std::to_string(i) + "</t></si>";
    }
    strings += "</sst>";
    ZipWriter zip(out);
    zip.Add("[Content_Types].xml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
            "<Default Extension=\"rels\" "
            "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
            "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
            "<Override PartName=\"/xl/workbook.xml\" "
            "ContentType=\"application/"
            "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
            "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
            "ContentType=\"application/"
            "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
            "<Override PartName=\"/xl/sharedStrings.xml\" "
            "ContentType=\"application/"
            "vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>"
            "</Types>");
    zip.Add("_rels/.rels",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
            "<Relationship Id=\"rId1\" "
            "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
            "officeDocument\" Target=\"xl/workbook.xml\"/>"
            "</Relationships>");
    zip.Add("xl/_rels/workbook.xml.rels",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
            "<Relationship Id=\"rId1\" "
            "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
            "worksheet\" Target=\"worksheets/sheet1.xml\"/>"
            "<Relationship Id=\"rId2\" "
            "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
            "sharedStrings\" Target=\"sharedStrings.xml\"/>"
            "</Relationships>");
    zip.Add("xl/workbook.xml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
            "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
            "<sheets><sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>");
    zip.Add("xl/sharedStrings.xml", strings);
    zip.AddFile("xl/worksheets/sheet1.xml", sheet);
    zip.Commit();
    std::filesystem::remove(sheet);
    std::printf("generated %ld cells in %ld rows\n", rows * kCols, rows);
    return 0;
}

int Transcode(const std::filesystem::path& in, const std::filesystem::path& out) {
    const auto start = std::chrono::steady_clock::now();
    const xlsb::TranscodeReport report = xlsb::TranscodeToXlsb(in, out);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("cells %zu formulas %zu unencoded %zu seconds %.3f\n", report.cells,
                report.formulas, report.unencodedCount, took.count());
    for (const auto& entry : report.unencoded) {
        std::printf("unencoded\t%s\t%s\t%s\t%s\n", entry.sheet.c_str(), entry.cell.c_str(),
                    entry.formula.c_str(), entry.reason.c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::string mode = argc > 1 ? argv[1] : "";
        if (mode == "transcode" && argc == 4) {
            return Transcode(argv[2], argv[3]);
        }
        if (mode == "generate" && argc == 4) {
            return Generate(std::atol(argv[2]), argv[3]);
        }
        std::fprintf(
            stderr,
            "usage: xlsb_tool transcode <in.xlsx> <out.xlsb> | generate <cells> <out.xlsx>\n");
        return 2;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "error: %s\n", error.what());
        return 1;
    }
}
