#include "calcserver/biff/record_cursor.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "calcserver/biff/biff_workbook.h"
#include "calcserver/biff/text_decoding.h"

namespace tabrook::calcserver::biff {

namespace {
constexpr std::size_t kHeaderSize = 4;
constexpr std::uint8_t kHighByte = 0x01;
constexpr std::uint8_t kHasPhonetic = 0x04;
constexpr std::uint8_t kHasRichText = 0x08;

std::uint16_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
}  // namespace

RecordCursor::RecordCursor(std::span<const std::uint8_t> stream, std::size_t offset)
    : stream_(stream), offset_(offset) {
    if (offset_ > stream_.size()) {
        throw BiffError("a sheet position points past the end of the workbook stream");
    }
}

bool RecordCursor::PeekId(std::uint16_t& id) const {
    if (stream_.size() - offset_ < kHeaderSize) {
        return false;
    }
    id = Le16(stream_.data() + offset_);
    return true;
}

bool RecordCursor::Next(Record& record) {
    const std::size_t left = stream_.size() - offset_;
    if (left == 0) {
        return false;
    }
    if (left < kHeaderSize) {
        throw BiffError("the workbook stream ends inside a record header");
    }
    const std::uint8_t* header = stream_.data() + offset_;
    const std::size_t size = Le16(header + 2);
    if (left - kHeaderSize < size) {
        throw BiffError("the workbook stream ends inside a record");
    }
    record.id = Le16(header);
    record.offset = offset_;
    record.data = stream_.subspan(offset_ + kHeaderSize, size);
    offset_ += kHeaderSize + size;
    return true;
}

void FieldReader::Require(std::size_t count) const {
    if (data_.size() - pos_ < count) {
        throw BiffError("a record is shorter than its fields");
    }
}

std::uint8_t FieldReader::U8() {
    Require(1);
    return data_[pos_++];
}

std::uint16_t FieldReader::U16() {
    Require(2);
    const std::uint16_t value = Le16(data_.data() + pos_);
    pos_ += 2;
    return value;
}

std::uint32_t FieldReader::U32() {
    const std::uint32_t low = U16();
    const std::uint32_t high = U16();
    return low | (high << 16);
}

double FieldReader::F64() {
    Require(8);
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) {
        bits = (bits << 8) | data_[pos_ + static_cast<std::size_t>(i)];
    }
    pos_ += 8;
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::span<const std::uint8_t> FieldReader::Bytes(std::size_t count) {
    Require(count);
    const auto bytes = data_.subspan(pos_, count);
    pos_ += count;
    return bytes;
}

std::string FieldReader::Chars(std::size_t count, bool highByte) {
    std::string text;
    if (!highByte) {
        AppendLatin1(text, Bytes(count));
        return text;
    }
    const auto bytes = Bytes(count * 2);
    Utf16Decoder utf16(text);
    for (std::size_t i = 0; i < count; ++i) {
        utf16.Unit(Le16(bytes.data() + 2 * i));
    }
    utf16.Finish();
    return text;
}

void FieldReader::Skip(std::size_t count) {
    Require(count);
    pos_ += count;
}

bool ContinuedReader::AtSegmentEnd() {
    // Empty CONTINUE records carry nothing; step over them.
    while (segment_ < segments_.size() && pos_ == segments_[segment_].size()) {
        if (segment_ + 1 == segments_.size()) {
            return true;
        }
        ++segment_;
        pos_ = 0;
    }
    return segment_ >= segments_.size();
}

bool ContinuedReader::AtEnd() {
    return AtSegmentEnd();
}

std::uint8_t ContinuedReader::U8() {
    if (AtSegmentEnd()) {
        throw BiffError("a string table or string record ends early");
    }
    return segments_[segment_][pos_++];
}

std::uint16_t ContinuedReader::U16() {
    const std::uint16_t low = U8();
    const std::uint16_t high = U8();
    return static_cast<std::uint16_t>(low | (high << 8));
}

std::uint32_t ContinuedReader::U32() {
    const std::uint32_t low = U16();
    const std::uint32_t high = U16();
    return low | (high << 16);
}

void ContinuedReader::Skip(std::size_t count) {
    while (count > 0) {
        if (AtSegmentEnd()) {
            throw BiffError("a string table or string record ends early");
        }
        const std::size_t step = std::min(count, segments_[segment_].size() - pos_);
        pos_ += step;
        count -= step;
    }
}

std::string ContinuedReader::UnicodeStringBody(std::uint16_t charCount) {
    std::uint8_t options = U8();
    const std::size_t runs = (options & kHasRichText) != 0 ? U16() : 0;
    const std::size_t phoneticSize = (options & kHasPhonetic) != 0 ? U32() : 0;

    std::string text;
    text.reserve(charCount);
    {
        Utf16Decoder utf16(text);
        std::size_t left = charCount;
        while (true) {
            const auto segment = segments_[segment_];
            const std::size_t width = (options & kHighByte) != 0 ? 2 : 1;
            const std::size_t fit = std::min(left, (segment.size() - pos_) / width);
            if (width == 1) {
                utf16.Finish();
                AppendLatin1(text, segment.subspan(pos_, fit));
            } else {
                for (std::size_t i = 0; i < fit; ++i) {
                    utf16.Unit(Le16(segment.data() + pos_ + 2 * i));
                }
            }
            pos_ += fit * width;
            left -= fit;
            if (left == 0) {
                break;
            }
            // The characters go on in the next CONTINUE record, after an option byte of
            // its own that says how they are stored.
            if (segment_ + 1 >= segments_.size() || segments_[segment_ + 1].empty()) {
                throw BiffError("a string ends early");
            }
            ++segment_;
            pos_ = 0;
            options = segments_[segment_][pos_++];
        }
    }
    Skip(runs * 4 + phoneticSize);
    return text;
}

}  // namespace tabrook::calcserver::biff
