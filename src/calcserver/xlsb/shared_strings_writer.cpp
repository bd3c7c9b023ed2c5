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
            ++phonetic_depth_;
        } else if (phonetic_depth_ > 0) {
            return;
        } else if (name == "r") {
            run_properties_.reset();
            run_start_ = units_;
            in_run_ = true;
        } else if (name == "rPr" && in_run_) {
            in_properties_ = true;
            run_properties_.append_child("rPr");
        } else if (in_properties_) {
            pugi::xml_node child =
                run_properties_.child("rPr").append_child(std::string(name).c_str());
            for (const char* key : {"val", "rgb", "theme", "indexed", "tint"}) {
                if (const char* value = attributes.Get(key)) {
                    child.append_attribute(key).set_value(value);
                }
            }
        } else if (name == "t") {
            in_text_ = true;
            text_start_ = text_.size();
        }
    }

    void End(std::string_view name) override {
        if (name == "rPh") {
            --phonetic_depth_;
        } else if (phonetic_depth_ > 0) {
            return;
        } else if (name == "t") {
            in_text_ = false;
            // Counted a piece at a time: a string of many runs is read in linear time. A <t>
            // opened before its <si> began counts from the start of the string.
            const std::size_t start = std::min(text_start_, text_.size());
            units_ += Utf16FromUtf8(DecodeEscapes(std::string_view(text_).substr(start))).size();
        } else if (name == "rPr") {
            in_properties_ = false;
        } else if (name == "r") {
            in_run_ = false;
            const pugi::xml_node properties = run_properties_.child("rPr");
            const std::uint16_t font = properties ? styles_.RunFont(properties) : 0;
            rich_ = true;
            if (run_start_ <= 0xFFFF) {
                runs_.emplace_back(static_cast<std::uint16_t>(run_start_), font);
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
        if (in_text_ && phonetic_depth_ == 0) {
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
    pugi::xml_document run_properties_;
    std::size_t run_start_ = 0;
    std::size_t text_start_ = 0;  // where the text of the current <t> begins in text_
    std::size_t units_ = 0;       // UTF-16 units of the string's text so far
    int phonetic_depth_ = 0;
    bool rich_ = false;
    bool in_run_ = false;
    bool in_properties_ = false;
    bool in_text_ = false;
};

}  // namespace

SharedStrings ConvertSharedStrings(const package::ZipReader& zip, const std::string& part,
                                   StylesWriter& styles) {
    Handler handler(styles);
    ReadPart(zip, part, handler);
    return handler.Finish();
}

}  // namespace tabrook::calcserver::xlsb
