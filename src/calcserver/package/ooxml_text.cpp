#include "calcserver/package/ooxml_text.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace tabrook::calcserver::package {

namespace {

constexpr std::size_t kEscapeLength = 7;  // _xHHHH_

// The code unit of an _xHHHH_ escape starting at `pos`, or -1.
int EscapeAt(std::string_view text, std::size_t pos) {
    if (text.size() - pos < kEscapeLength || text[pos] != '_' ||
        (text[pos + 1] != 'x' && text[pos + 1] != 'X') || text[pos + 6] != '_') {
        return -1;
    }
    int value = 0;
    for (std::size_t i = pos + 2; i < pos + 6; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!std::isxdigit(c)) {
            return -1;
        }
        value = value * 16 + (std::isdigit(c) ? c - '0' : (std::tolower(c) - 'a' + 10));
    }
    return value;
}

void AppendUtf8(std::string& out, unsigned int cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool XmlCannotCarry(unsigned char c) {
    return c < 0x20 && c != '\t' && c != '\n' && c != '\r';
}

}  // namespace

std::string EncodeCellText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (XmlCannotCarry(c)) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "_x%04X_", c);
            out += escape;
        } else {
            if (c == '_' && EscapeAt(text, i) >= 0) {
                out += "_x005F";
            }
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

std::string DecodeCellText(std::string_view stored) {
    if (stored.find('_') == std::string_view::npos) {
        return std::string(stored);
    }
    std::string out;
    out.reserve(stored.size());
    for (std::size_t i = 0; i < stored.size();) {
        const int unit = EscapeAt(stored, i);
        if (unit < 0 || (unit >= 0xD800 && unit <= 0xDFFF)) {
            out.push_back(stored[i]);
            ++i;
            continue;
        }
        AppendUtf8(out, static_cast<unsigned int>(unit));
        i += kEscapeLength;
    }
    return out;
}

std::optional<double> ParseXmlNumber(std::string_view text) {
    if (text.starts_with('+')) {
        text.remove_prefix(1);
    }
    double value = 0;
    const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || stop != text.data() + text.size() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

}  // namespace tabrook::calcserver::package
