#include "calcserver/xlsb/external_link_writer.h"

#include <pugixml.hpp>

#include "calcserver/xlsb/cell_ref.h"
#include "calcserver/xlsb/ooxml_text.h"
#include "calcserver/xlsb/record_ids.h"
#include "calcserver/xlsb/record_writer.h"
#include "calcserver/xlsb/xlsb_error.h"

namespace tabrook::calcserver::xlsb {
namespace {

std::uint8_t ErrorCode(std::string_view text) {
    static constexpr std::pair<std::string_view, std::uint8_t> kCodes[] = {
        {"#NULL!", 0x00}, {"#DIV/0!", 0x07}, {"#VALUE!", 0x0F}, {"#REF!", 0x17},
        {"#NAME?", 0x1D}, {"#NUM!", 0x24},   {"#N/A", 0x2A},
    };
    for (const auto& [name, code] : kCodes) {
        if (text == name) {
            return code;
        }
    }
    return 0x2A;
}

void WriteCachedCell(RecordSink& sink, const pugi::xml_node& cell) {
    const auto address = ParseCellAddress(cell.attribute("r").as_string());
    if (!address) {
        return;
    }
    const std::string_view type = cell.attribute("t").as_string("n");
    const pugi::xml_node value = cell.child("v");
    Body body;
    body.I32(address->col);
    if (!value) {
        sink.Write(rec::kExternCellBlank, body);
    } else if (type == "s" || type == "str" || type == "inlineStr") {
        sink.Write(rec::kExternCellString,
                   body.WideString(DecodeEscapes(value.text().as_string())));
    } else if (type == "b") {
        sink.Write(rec::kExternCellBool, body.U8(value.text().as_bool() ? 1 : 0));
    } else if (type == "e") {
        sink.Write(rec::kExternCellError, body.U8(ErrorCode(value.text().as_string())));
    } else {
        sink.Write(rec::kExternCellReal,
                   body.F64(ParseDouble(value.text().as_string()).value_or(0)));
    }
}

}  // namespace

std::optional<ExternalLinkPart> ConvertExternalLink(std::string_view xml) {
    pugi::xml_document doc;
    const auto parsed = doc.load_buffer(xml.data(), xml.size());
    if (!parsed) {
        throw XlsbError(std::string("an external link part cannot be read: ") +
                        parsed.description());
    }
    const pugi::xml_node book = doc.child("externalLink").child("externalBook");
    if (!book) {
        return std::nullopt;
    }
    ExternalLinkPart out;
    RecordSink sink;
    // Kind 0: another workbook, found through the part's relationship.
    sink.Write(rec::kBeginSupBook, Body().U16(0).WideString(RelationshipId(book)));
    Body names;
    for (const pugi::xml_node name : book.child("sheetNames").children("sheetName")) {
        out.sheet_names.push_back(name.attribute("val").as_string());
    }
    names.U32(static_cast<std::uint32_t>(out.sheet_names.size()));
    for (const auto& name : out.sheet_names) {
        names.WideString(name);
    }
    sink.Write(rec::kSupTabs, names);
    for (const pugi::xml_node data : book.child("sheetDataSet").children("sheetData")) {
        const bool failed = data.attribute("refreshError").as_bool(false);
        sink.Write(rec::kExternTableStart,
                   Body().U32(data.attribute("sheetId").as_uint(0)).U8(failed ? 1 : 0));
        for (const pugi::xml_node row : data.children("row")) {
            const auto number = row.attribute("r").as_int(0);
            if (number < 1 || number - 1 > kMaxRow) {
                continue;
            }
            sink.Write(rec::kExternRowHdr, Body().I32(number - 1));
            for (const pugi::xml_node cell : row.children("cell")) {
                WriteCachedCell(sink, cell);
            }
        }
        sink.Write(rec::kExternTableEnd);
    }
    sink.Write(rec::kEndSupBook);
    out.records = sink.TakeBytes();
    return out;
}

}  // namespace tabrook::calcserver::xlsb
