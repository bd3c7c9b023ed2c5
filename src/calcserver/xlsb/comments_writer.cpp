#include "calcserver/xlsb/comments_writer.h"

#include <pugixml.hpp>
#include <utility>
#include <vector>

#include "calcserver/xlsb/cell_ref.h"
#include "calcserver/xlsb/ooxml_text.h"
#include "calcserver/xlsb/record_ids.h"
#include "calcserver/xlsb/record_writer.h"
#include "calcserver/xlsb/styles_writer.h"
#include "calcserver/xlsb/xlsb_error.h"

namespace tabrook::calcserver::xlsb {
namespace {

// The comment text with its runs: a plain <t>, or <r> runs each with optional <rPr>.
Body RichText(const pugi::xml_node& text, StylesWriter& styles) {
    std::string plain;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> runs;
    for (const pugi::xml_node child : text.children()) {
        const std::string_view name = child.name();
        if (name == "t") {
            plain += child.text().as_string();
        } else if (name == "r") {
            const auto start = Utf16FromUtf8(DecodeEscapes(plain)).size();
            const pugi::xml_node properties = child.child("rPr");
            const std::uint16_t font = properties ? styles.RunFont(properties) : 0;
            if (start <= 0xFFFF) {
                runs.emplace_back(static_cast<std::uint16_t>(start), font);
            }
            plain += child.child("t").text().as_string();
        }
    }
    Body body;
    body.U8(runs.empty() ? 0x00 : 0x01).WideString(DecodeEscapes(plain));
    if (!runs.empty()) {
        body.U32(static_cast<std::uint32_t>(runs.size()));
        for (const auto& [start, font] : runs) {
            body.U16(start).U16(font);
        }
    }
    return body;
}

}  // namespace

std::string ConvertComments(std::string_view xml, StylesWriter& styles) {
    pugi::xml_document doc;
    const auto parsed = doc.load_buffer(xml.data(), xml.size());
    if (!parsed) {
        throw XlsbError(std::string("a comments part cannot be read: ") + parsed.description());
    }
    const pugi::xml_node root = doc.child("comments");
    RecordSink sink;
    sink.Write(rec::kBeginComments);
    sink.Write(rec::kBeginCommentAuthors);
    std::uint32_t authors = 0;
    for (const pugi::xml_node author : root.child("authors").children("author")) {
        sink.Write(rec::kCommentAuthor, Body().WideString(author.text().as_string()));
        ++authors;
    }
    sink.Write(rec::kEndCommentAuthors);
    sink.Write(rec::kBeginCommentList);
    for (const pugi::xml_node comment : root.child("commentList").children("comment")) {
        const auto range = ParseCellRange(comment.attribute("ref").as_string());
        if (!range) {
            continue;
        }
        const std::uint32_t author = comment.attribute("authorId").as_uint(0);
        Body head;
        head.U32(author < authors ? author : 0)
            .I32(range->first.row)
            .I32(range->last.row)
            .I32(range->first.col)
            .I32(range->last.col)
            .Raw(std::string(16, '\0'));  // no comment GUID
        sink.Write(rec::kBeginComment, head);
        sink.Write(rec::kCommentText, RichText(comment.child("text"), styles));
        sink.Write(rec::kEndComment);
    }
    sink.Write(rec::kEndCommentList);
    sink.Write(rec::kEndComments);
    return sink.TakeBytes();
}

}  // namespace tabrook::calcserver::xlsb
