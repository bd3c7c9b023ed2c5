#include "calcserver/biff/text_decoding.h"

namespace tabrook::calcserver::biff {

namespace {
constexpr std::uint32_t kReplacement = 0xFFFD;
bool IsHigh(std::uint16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLow(std::uint16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
}  // namespace

void AppendCodePoint(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void AppendLatin1(std::string& out, std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t byte : bytes) {
        AppendCodePoint(out, byte);
    }
}

void Utf16Decoder::Unit(std::uint16_t unit) {
    if (pendingHigh_ != 0) {
        if (IsLow(unit)) {
            AppendCodePoint(out_, 0x10000 + ((pendingHigh_ - 0xD800u) << 10) + (unit - 0xDC00u));
            pendingHigh_ = 0;
            return;
        }
        AppendCodePoint(out_, kReplacement);
        pendingHigh_ = 0;
    }
    if (IsHigh(unit)) {
        pendingHigh_ = unit;
    } else if (IsLow(unit)) {
        AppendCodePoint(out_, kReplacement);
    } else {
        AppendCodePoint(out_, unit);
    }
}

void Utf16Decoder::Finish() {
    if (pendingHigh_ != 0) {
        AppendCodePoint(out_, kReplacement);
        pendingHigh_ = 0;
    }
}

}  // namespace tabrook::calcserver::biff
