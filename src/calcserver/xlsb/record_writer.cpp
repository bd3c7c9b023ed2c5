#include "calcserver/xlsb/record_writer.h"

#include <bit>
#include <cstring>

#include "calcserver/xlsb/xlsb_error.h"

namespace tabrook::calcserver::xlsb {
namespace {

constexpr std::size_t kFlushAt = 1 << 20;
constexpr std::uint32_t kMaxType = (1u << 14) - 1;
constexpr std::size_t kMaxSize = (1u << 28) - 1;

void AppendUnit(std::u16string& out, char32_t code) {
    if (code >= 0x10000) {
        code -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(code));
    }
}

}  // namespace

std::u16string Utf16FromUtf8(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int extra = lead < 0x80           ? 0
                    : (lead >> 5) == 0x6  ? 1
                    : (lead >> 4) == 0xE  ? 2
                    : (lead >> 3) == 0x1E ? 3
                                          : -1;
        char32_t code = extra == 0   ? lead
                        : extra == 1 ? (lead & 0x1F)
                        : extra == 2 ? (lead & 0x0F)
                                     : (lead & 0x07);
        bool valid = extra >= 0 && i + static_cast<std::size_t>(extra) < utf8.size();
        for (int k = 1; valid && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (valid && extra > 0) {
            // Overlong forms and surrogates are not characters.
            static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
            valid = code >= kMin[extra] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        }
        if (!valid) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        AppendUnit(out, code);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

Body& Body::U8(std::uint8_t value) {
    bytes_.push_back(static_cast<char>(value));
    return *this;
}

Body& Body::U16(std::uint16_t value) {
    U8(static_cast<std::uint8_t>(value & 0xFF));
    return U8(static_cast<std::uint8_t>(value >> 8));
}

Body& Body::U32(std::uint32_t value) {
    U16(static_cast<std::uint16_t>(value & 0xFFFF));
    return U16(static_cast<std::uint16_t>(value >> 16));
}

Body& Body::F64(double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    U32(static_cast<std::uint32_t>(bits & 0xFFFFFFFFu));
    return U32(static_cast<std::uint32_t>(bits >> 32));
}

Body& Body::Raw(std::string_view bytes) {
    bytes_.append(bytes);
    return *this;
}

Body& Body::Utf16(std::u16string_view text) {
    for (char16_t unit : text) {
        U16(static_cast<std::uint16_t>(unit));
    }
    return *this;
}

Body& Body::WideString(std::string_view utf8) {
    const std::u16string text = Utf16FromUtf8(utf8);
    U32(static_cast<std::uint32_t>(text.size()));
    return Utf16(text);
}

Body& Body::NullableWideString(const std::optional<std::string>& utf8) {
    if (!utf8) {
        return U32(0xFFFFFFFFu);
    }
    return WideString(*utf8);
}

std::string RecordHeader(std::uint32_t type, std::size_t size) {
    if (type > kMaxType) {
        throw XlsbError("record type " + std::to_string(type) + " cannot be written");
    }
    if (size > kMaxSize) {
        throw XlsbError("a record of " + std::to_string(size) +
                        " bytes is larger than the binary workbook format allows");
    }
    std::string header;
    // Seven bits a byte; the high bit says that another byte follows.
    header.push_back(static_cast<char>(type < 0x80 ? type : (type & 0x7F) | 0x80));
    if (type >= 0x80) {
        header.push_back(static_cast<char>(type >> 7));
    }
    std::size_t rest = size;
    do {
        auto byte = static_cast<unsigned char>(rest & 0x7F);
        rest >>= 7;
        if (rest != 0) {
            byte |= 0x80;
        }
        header.push_back(static_cast<char>(byte));
    } while (rest != 0);
    return header;
}

RecordSink::RecordSink(const std::filesystem::path& file) : path_(file) {
    file_.emplace(file, std::ios::binary | std::ios::trunc);
    if (!*file_) {
        throw XlsbError("cannot create the temporary file " + file.string());
    }
}

void RecordSink::Write(std::uint16_t type, const Body& body) {
    Append(RecordHeader(type, body.Size()));
    Append(body.Bytes());
}

void RecordSink::Write(std::uint16_t type) {
    Append(RecordHeader(type, 0));
}

void RecordSink::Append(std::string_view bytes) {
    buffer_.append(bytes);
    if (file_ && buffer_.size() >= kFlushAt) {
        file_->write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        buffer_.clear();
        if (!*file_) {
            throw XlsbError("cannot write the temporary file " + path_.string() +
                            " (is the disk full?)");
        }
    }
}

std::string RecordSink::TakeBytes() {
    std::string out;
    out.swap(buffer_);
    return out;
}

void RecordSink::Finish() {
    if (!file_) {
        return;
    }
    file_->write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    buffer_.clear();
    file_->close();
    if (file_->fail()) {
        throw XlsbError("cannot write the temporary file " + path_.string() +
                        " (is the disk full?)");
    }
    file_.reset();
}

}  // namespace tabrook::calcserver::xlsb
