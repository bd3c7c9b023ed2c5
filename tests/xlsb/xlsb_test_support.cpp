#include "xlsb_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <pugixml.hpp>
#include <set>
#include <sstream>

#include "calcserver/package/zip_package.h"
#include "support/shell_tools.h"

namespace tabrook::testing::xlsb {
namespace {

using calcserver::package::ZipReader;
using calcserver::package::ZipWriter;
using tabrook::testing::RunShell;

constexpr const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::string> Split(const std::string& line, char separator) {
    std::vector<std::string> parts;
    std::stringstream stream(line);
    for (std::string part; std::getline(stream, part, separator);) {
        parts.push_back(part);
    }
    if (!line.empty() && line.back() == separator) {
        parts.emplace_back();
    }
    return parts;
}

// "B2:B5 D2", "D2 B2:B3 B4:B5" name the same cells: the cells themselves, in order (the
// test workbooks are small; columns A to Z only).
std::string SortedRanges(const std::string& sqref) {
    std::set<std::pair<int, int>> cells;
    for (const std::string& range : Split(sqref, ' ')) {
        const auto colon = range.find(':');
        const std::string first = range.substr(0, colon);
        const std::string last = colon == std::string::npos ? first : range.substr(colon + 1);
        const auto row = [](const std::string& ref) { return std::atoi(ref.c_str() + 1); };
        for (char c = first[0]; c <= last[0]; ++c) {
            for (int r = row(first); r <= row(last); ++r) {
                cells.insert({c, r});
            }
        }
    }
    std::string out;
    for (const auto& [c, r] : cells) {
        out += (out.empty() ? "" : " ") + std::string(1, static_cast<char>(c)) + std::to_string(r);
    }
    return out;
}

// What a differential format shows: fill colour, font colour, bold.
std::string DxfLook(const pugi::xml_node& dxf) {
    const auto fill = dxf.child("fill").child("patternFill");
    const auto b = dxf.child("font").child("b");
    return std::string("fill=") + fill.child("bgColor").attribute("rgb").as_string() +
           fill.child("fgColor").attribute("rgb").as_string() +
           " font=" + dxf.child("font").child("color").attribute("rgb").as_string() +
           (b && b.attribute("val").as_bool(true) ? " bold" : "");
}

std::vector<std::string> SheetRules(const pugi::xml_node& root,
                                    const std::vector<pugi::xml_node>& dxfs) {
    std::vector<std::string> rules;
    for (const auto format : root.children("conditionalFormatting")) {
        for (const auto rule : format.children("cfRule")) {
            std::string line = "cf " + SortedRanges(format.attribute("sqref").as_string()) + " " +
                               rule.attribute("type").as_string() + " " +
                               rule.attribute("operator").as_string();
            for (const auto f : rule.children("formula")) {
                line += std::string(" =") + f.text().as_string();
            }
            const unsigned dxf = rule.attribute("dxfId").as_uint(~0u);
            rules.push_back(line + " " + (dxf < dxfs.size() ? DxfLook(dxfs[dxf]) : "no format"));
        }
    }
    for (const auto v : root.child("dataValidations").children("dataValidation")) {
        std::string line = "dv " + SortedRanges(v.attribute("sqref").as_string()) + " " +
                           v.attribute("type").as_string("none") + " " +
                           v.attribute("operator").as_string("between") + " =" +
                           v.child("formula1").text().as_string();
        for (const char* text : {"errorTitle", "error", "promptTitle", "prompt"}) {
            line += std::string(" ") + text + "=" + v.attribute(text).as_string();
        }
        for (const char* flag : {"allowBlank", "showErrorMessage", "showInputMessage"}) {
            line += std::string(" ") + flag + "=" + (v.attribute(flag).as_bool() ? "1" : "0");
        }
        rules.push_back(line);
    }
    for (const auto filter : root.children("autoFilter")) {
        std::string line = std::string("af ") + filter.attribute("ref").as_string();
        for (const auto column : filter.children("filterColumn")) {
            line += std::string(" col") + column.attribute("colId").as_string() + ":";
            for (const auto value : column.child("filters").children("filter")) {
                line += std::string(" ") + value.attribute("val").as_string();
            }
        }
        rules.push_back(line);
    }
    std::sort(rules.begin(), rules.end());
    return rules;
}

}  // namespace

void WriteXlsx(const std::filesystem::path& file, const std::vector<TestSheet>& sheets,
               const std::string& workbookExtra,
               const std::map<std::string, std::string>& extraParts) {
    std::string types =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
        "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" "
        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Override PartName=\"/xl/workbook.xml\" "
        "ContentType=\"application/"
        "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>";
    std::string rels = std::string(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
        "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">");
    std::string list;
    ZipWriter zip(file);
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        types += "<Override PartName=\"/xl/worksheets/sheet" + n +
                 ".xml\" ContentType=\"application/"
                 "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
        rels += "<Relationship Id=\"rId" + n + "\" Type=\"" + kRel +
                "/worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
        list += "<sheet name=\"" + sheets[i].name + "\" sheetId=\"" + n + "\" r:id=\"rId" + n +
                "\"" + (sheets[i].state.empty() ? "" : " state=\"" + sheets[i].state + "\"") + "/>";
        zip.Add("xl/worksheets/sheet" + n + ".xml",
                std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet xmlns=\"") +
                    kMain + "\" xmlns:r=\"" + kRel + "\"><sheetData>" + sheets[i].rows +
                    "</sheetData>" + sheets[i].afterData + "</worksheet>");
    }
    for (const auto& [name, data] : extraParts) {
        zip.Add(name, data);
    }
    if (extraParts.count("xl/styles.xml")) {
        rels += std::string("<Relationship Id=\"rIdStyles\" Type=\"") + kRel +
                "/styles\" Target=\"styles.xml\"/>";
    }
    zip.Add("[Content_Types].xml", types + "</Types>");
    zip.Add("_rels/.rels",
            std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
                        "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                        "<Relationship Id=\"rId1\" Type=\"") +
                kRel + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
    zip.Add("xl/_rels/workbook.xml.rels", rels + "</Relationships>");
    zip.Add("xl/workbook.xml",
            std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook xmlns=\"") + kMain +
                "\" xmlns:r=\"" + kRel + "\"><sheets>" + list + "</sheets>" + workbookExtra +
                "</workbook>");
    zip.Commit();
}

std::vector<Record> ReadRecords(const std::string& bytes) {
    std::vector<Record> records;
    std::size_t at = 0;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes.at(i)); };
    while (at < bytes.size()) {
        std::uint32_t type = byte(at) & 0x7F;
        if (byte(at++) & 0x80) {
            type |= static_cast<std::uint32_t>(byte(at++) & 0x7F) << 7;
        }
        std::uint32_t size = 0;
        for (int shift = 0; shift < 28; shift += 7) {
            const unsigned char b = byte(at++);
            size |= static_cast<std::uint32_t>(b & 0x7F) << shift;
            if (!(b & 0x80)) {
                break;
            }
        }
        if (at + size > bytes.size()) {
            ADD_FAILURE() << "record " << type << " runs past the end";
            break;
        }
        records.push_back({type, bytes.substr(at, size)});
        at += size;
    }
    return records;
}

std::string Hex(const std::string& bytes) {
    std::string out;
    char buffer[4];
    for (unsigned char b : bytes) {
        std::snprintf(buffer, sizeof buffer, "%02X", b);
        out += (out.empty() ? "" : " ") + std::string(buffer);
    }
    return out;
}

const XlsxSheet* XlsxBook::Sheet(const std::string& name) const {
    for (const auto& sheet : sheets) {
        if (sheet.name == name) {
            return &sheet;
        }
    }
    return nullptr;
}

XlsxBook ReadXlsx(const std::filesystem::path& file) {
    ZipReader zip(file);
    XlsxBook book;
    pugi::xml_document workbook, rels, strings, styles;
    workbook.load_string(zip.Read("xl/workbook.xml").c_str());
    rels.load_string(zip.Read("xl/_rels/workbook.xml.rels").c_str());
    std::vector<std::string> shared;
    if (zip.Has("xl/sharedStrings.xml")) {
        strings.load_string(zip.Read("xl/sharedStrings.xml").c_str());
        for (const auto si : strings.child("sst").children("si")) {
            std::string text;
            for (const auto t : si.select_nodes(".//t")) {
                if (std::string_view(t.node().parent().name()) != "rPh") {
                    text += t.node().text().as_string();
                }
            }
            shared.push_back(text);
        }
    }
    std::vector<pugi::xml_node> dxfs;
    if (zip.Has("xl/styles.xml")) {
        styles.load_string(zip.Read("xl/styles.xml").c_str());
        const auto root = styles.child("styleSheet");
        std::map<unsigned, std::string> codes = {{0, "General"}};
        for (const auto fmt : root.child("numFmts").children("numFmt")) {
            codes[fmt.attribute("numFmtId").as_uint()] = fmt.attribute("formatCode").as_string();
        }
        for (const auto dxf : root.child("dxfs").children("dxf")) {
            dxfs.push_back(dxf);
        }
        std::vector<pugi::xml_node> fonts, fills;
        for (const auto f : root.child("fonts").children("font")) {
            fonts.push_back(f);
        }
        for (const auto f : root.child("fills").children("fill")) {
            fills.push_back(f);
        }
        for (const auto xf : root.child("cellXfs").children("xf")) {
            XlsxFormat format;
            const unsigned id = xf.attribute("numFmtId").as_uint();
            format.numberFormat = codes.count(id) ? codes[id] : "builtin " + std::to_string(id);
            const unsigned font = xf.attribute("fontId").as_uint();
            if (font < fonts.size()) {
                const auto b = fonts[font].child("b");
                const auto i = fonts[font].child("i");
                format.bold = b && b.attribute("val").as_bool(true);
                format.italic = i && i.attribute("val").as_bool(true);
            }
            const unsigned fill = xf.attribute("fillId").as_uint();
            if (fill < fills.size()) {
                const auto pattern = fills[fill].child("patternFill");
                if (std::string_view(pattern.attribute("patternType").as_string()) == "solid") {
                    format.fill = pattern.child("fgColor").attribute("rgb").as_string();
                }
            }
            book.formats.push_back(format);
        }
    }
    std::map<std::string, std::string> targets;
    for (const auto r : rels.child("Relationships").children("Relationship")) {
        targets[r.attribute("Id").as_string()] = r.attribute("Target").as_string();
    }
    for (const auto s : workbook.child("workbook").child("sheets").children("sheet")) {
        XlsxSheet sheet;
        sheet.name = s.attribute("name").as_string();
        sheet.state = s.attribute("state").as_string("visible");
        std::string target = targets[s.attribute("r:id").as_string()];
        if (!target.empty() && target.front() == '/') {
            target.erase(0, 1);
        } else {
            target = "xl/" + target;
        }
        pugi::xml_document doc;
        doc.load_string(zip.Read(target).c_str());
        const auto root = doc.child("worksheet");
        for (const auto row : root.child("sheetData").children("row")) {
            for (const auto c : row.children("c")) {
                XlsxCell cell;
                cell.type = c.attribute("t").as_string("n");
                cell.style = c.attribute("s").as_uint(0);
                cell.formula = c.child("f").text().as_string();
                cell.value = c.child("v").text().as_string();
                if (cell.type == "s" && !cell.value.empty()) {
                    const auto index = static_cast<std::size_t>(std::stoul(cell.value));
                    cell.value = index < shared.size() ? shared[index] : "?";
                } else if (cell.type == "inlineStr") {
                    cell.value = c.child("is").child("t").text().as_string();
                    cell.type = "s";
                } else if (cell.type == "str") {
                    cell.type = "s";
                } else if (cell.type == "n" && !cell.value.empty()) {
                    char buffer[64];
                    std::snprintf(buffer, sizeof buffer, "%.15g",
                                  std::strtod(cell.value.c_str(), nullptr));
                    cell.value = buffer;
                }
                sheet.cells[c.attribute("r").as_string()] = cell;
            }
        }
        sheet.rules = SheetRules(root, dxfs);
        for (const auto m : root.child("mergeCells").children("mergeCell")) {
            sheet.merges.push_back(m.attribute("ref").as_string());
        }
        for (const auto col : root.child("cols").children("col")) {
            for (int i = col.attribute("min").as_int();
                 i <= col.attribute("max").as_int() && i < 64; ++i) {
                sheet.widths[i] = col.attribute("width").as_double();
            }
        }
        book.sheets.push_back(std::move(sheet));
    }
    return book;
}

bool ConvertWithOffice(const std::vector<std::filesystem::path>& inputs, const std::string& format,
                       const std::filesystem::path& outDir, const std::filesystem::path& profile,
                       std::string& why) {
    if (!tabrook::testing::HasCommand("soffice")) {
        why = "LibreOffice (soffice) is not installed";
        return false;
    }
    if (tabrook::testing::ConvertWithOffice(inputs, format, outDir, profile).size() !=
        inputs.size()) {
        why = "LibreOffice did not convert " + inputs.front().filename().string();
        return false;
    }
    return true;
}

std::optional<SheetJsBook> ReadWithSheetJs(const std::filesystem::path& file, std::string& why) {
    const std::filesystem::path modules =
        std::filesystem::path(TABROOK_XLSB_NODE_TOOLS) / "node_modules";
    if (std::system("command -v node >/dev/null 2>&1") != 0) {
        why = "node is not installed";
        return std::nullopt;
    }
    if (!std::filesystem::exists(modules / "@e965" / "xlsx")) {
        why = "SheetJS is not installed (run scripts/install-node-tools.sh <build>)";
        return std::nullopt;
    }
    using tabrook::testing::ShellQuote;
    const auto [status, output] =
        RunShell("NODE_PATH=" + ShellQuote(modules.string()) + " node " +
                 ShellQuote(TABROOK_XLSB_DUMP_SCRIPT) + " " + ShellQuote(file.string()));
    if (status != 0) {
        why = "SheetJS could not read " + file.filename().string();
        return std::nullopt;
    }
    SheetJsBook book;
    for (const std::string& line : Split(output, '\n')) {
        const auto parts = Split(line, '\t');
        if (parts.size() >= 6 && parts[0] == "cell") {
            book.cells[Unescape(parts[1]) + "!" + parts[2]] = {parts[3], Unescape(parts[4]),
                                                               Unescape(parts[5])};
        } else if (parts.size() >= 4 && parts[0] == "comment") {
            book.comments[Unescape(parts[1]) + "!" + parts[2]] = Unescape(parts[3]);
        } else if (parts.size() >= 3 && parts[0] == "merge") {
            book.merges.push_back(Unescape(parts[1]) + "!" + parts[2]);
        } else if (parts.size() >= 2 && parts[0] == "sheet") {
            book.sheets.push_back(Unescape(parts[1]));
        }
    }
    return book;
}

}  // namespace tabrook::testing::xlsb
