#include "calcserver/xlsb/ooxml_text.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <pugixml.hpp>

namespace tabrook::calcserver::xlsb {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

}  // namespace

std::string RelationshipId(const pugi::xml_node& node) {
    constexpr std::string_view kRelationships =
        "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    for (const pugi::xml_attribute attribute : node.attributes()) {
        const std::string_view name = attribute.name();
        const auto colon = name.find(':');
        if (colon == std::string_view::npos || name.substr(colon + 1) != "id") {
            continue;
        }
        // The prefix must stand for the relationships namespace on this element or above.
        const std::string declaration = "xmlns:" + std::string(name.substr(0, colon));
        for (pugi::xml_node at = node; at; at = at.parent()) {
            if (const pugi::xml_attribute ns = at.attribute(declaration.c_str())) {
                if (ns.as_string() == kRelationships) {
                    return attribute.as_string();
                }
                break;
            }
        }
    }
    return node.attribute("r:id").as_string();
}

std::string DecodeEscapes(std::string_view text) {
    if (text.find("_x") == std::string_view::npos) {
        return std::string(text);
    }
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (i + 7 <= text.size() && text[i] == '_' && text[i + 1] == 'x' && text[i + 6] == '_') {
            unsigned code = 0;
            bool hex = true;
            for (std::size_t k = 2; k < 6; ++k) {
                const int digit = HexDigit(text[i + k]);
                hex = hex && digit >= 0;
                code = code * 16 + static_cast<unsigned>(digit < 0 ? 0 : digit);
            }
            // Surrogate halves cannot stand alone in UTF-8; leave such text as written.
            if (hex && (code < 0xD800 || code > 0xDFFF)) {
                AppendUtf8(out, code);
                i += 7;
                continue;
            }
        }
        out.push_back(text[i++]);
    }
    return out;
}

bool ParseBool(const char* text, bool fallback) {
    if (text == nullptr) {
        return fallback;
    }
    if (!std::strcmp(text, "1") || !std::strcmp(text, "true") || !std::strcmp(text, "on")) {
        return true;
    }
    if (!std::strcmp(text, "0") || !std::strcmp(text, "false") || !std::strcmp(text, "off")) {
        return false;
    }
    return fallback;
}

std::optional<double> ParseDouble(const char* text) {
    if (text == nullptr || *text == '\0') {
        return std::nullopt;
    }
    // Office Open XML numbers never depend on the process locale.
    const char* end = text + std::strlen(text);
    const char* first = *text == '+' ? text + 1 : text;
    double value = 0;
    const auto [stop, error] = std::from_chars(first, end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<long long> ParseInt(const char* text) {
    if (text == nullptr || *text == '\0') {
        return std::nullopt;
    }
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (*end != '\0' || errno == ERANGE) {
        return std::nullopt;
    }
    return value;
}

}  // namespace tabrook::calcserver::xlsb
