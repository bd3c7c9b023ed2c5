#include "calcserver/xlsb/shared_strings_writer.h"

#include <algorithm>
#include <cstdint>
#include <pugixml.hpp>
#include <utility>
#include <vector>

#include "calcserver/xlsb/ooxml_text.h"
#include "calcserver/xlsb/record_ids.h"
#include "calcserver/xlsb/record_writer.h"
#include "calcserver/xlsb/sax_reader.h"
#include "calcserver/xlsb/styles_writer.h"

namespace tabrook::calcserver::xlsb {
namespace {

class Handler : public SaxHandler {
  public:
    explicit Handler(StylesWriter& styles) : styles_(styles) {}

    void Start(std::string_view name, const Attributes& attributes) override {
        if (name == "si") {
            text_.clear();
            units_ = 0;
            runs_.clear();
            rich_ = false;
        } else if (name == "rPh") {
            ++phoneticDepth_;
        } else if (phoneticDepth_ > 0) {
            return;
        } else if (name == "r") {
            runProperties_.reset();
            runStart_ = units_;
            inRun_ = true;
        } else if (name == "rPr" && inRun_) {
            inProperties_ = true;
            runProperties_.append_child("rPr");
        } else if (inProperties_) {
            pugi::xml_node child =
                runProperties_.child("rPr").append_child(std::string(name).c_str());
            for (const char* key : {"val", "rgb", "theme", "indexed", "tint"}) {
                if (const char* value = attributes.Get(key)) {
                    child.append_attribute(key).set_value(value);
                }
            }
        } else if (name == "t") {
            inText_ = true;
            textStart_ = text_.size();
        }
    }

    void End(std::string_view name) override {
        if (name == "rPh") {
            --phoneticDepth_;
        } else if (phoneticDepth_ > 0) {
            return;
        } else if (name == "t") {
            inText_ = false;
            // Counted a piece at a time: a string of many runs is read in linear time. A <t>
            // opened before its <si> began counts from the start of the string.
            const std::size_t start = std::min(textStart_, text_.size());
            units_ += Utf16FromUtf8(DecodeEscapes(std::string_view(text_).substr(start))).size();
        } else if (name == "rPr") {
            inProperties_ = false;
        } else if (name == "r") {
            inRun_ = false;
            const pugi::xml_node properties = runProperties_.child("rPr");
            const std::uint16_t font = properties ? styles_.RunFont(properties) : 0;
            rich_ = true;
            if (runStart_ <= 0xFFFF) {
                runs_.emplace_back(static_cast<std::uint16_t>(runStart_), font);
            }
        } else if (name == "si") {
            Body body;
            body.U8(rich_ ? 0x01 : 0x00).WideString(DecodeEscapes(text_));
            if (rich_) {
                body.U32(static_cast<std::uint32_t>(runs_.size()));
                for (const auto& [start, font] : runs_) {
                    body.U16(start).U16(font);
                }
            }
            items_.Write(rec::kSstItem, body);
            ++count_;
        }
    }

    void Text(std::string_view text) override {
        if (inText_ && phoneticDepth_ == 0) {
            text_.append(text);
        }
    }

    SharedStrings Finish() {
        RecordSink out;
        const auto count = static_cast<std::uint32_t>(count_);
        out.Write(rec::kBeginSst, Body().U32(count).U32(count));
        std::string records = out.TakeBytes();
        records += items_.TakeBytes();
        out.Write(rec::kEndSst);
        records += out.TakeBytes();
        return {std::move(records), count_};
    }

  private:
    StylesWriter& styles_;
    RecordSink items_;
    std::size_t count_ = 0;
    std::string text_;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> runs_;
    pugi::xml_document runProperties_;
    std::size_t runStart_ = 0;
    std::size_t textStart_ = 0;  // where the text of the current <t> begins in text_
    std::size_t units_ = 0;      // UTF-16 units of the string's text so far
    int phoneticDepth_ = 0;
    bool rich_ = false;
    bool inRun_ = false;
    bool inProperties_ = false;
    bool inText_ = false;
};

}  // namespace

SharedStrings ConvertSharedStrings(const package::ZipReader& zip, const std::string& part,
                                   StylesWriter& styles) {
    Handler handler(styles);
    ReadPart(zip, part, handler);
    return handler.Finish();
}

}  // namespace tabrook::calcserver::xlsb
