#include "cli/report_line.h"

#include <cstdio>
#include <optional>

#include "calcserver/report/conversion_report.h"

namespace tabrook::cli {
namespace {

// Length of the valid UTF-8 sequence at `text[at]`, 0 when there is none.
std::size_t Utf8Length(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    std::uint32_t smallest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        smallest = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    std::uint32_t point = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
        point = (point << 6) | (byte(at + i) & 0x3F);
    }
    const bool surrogate = point >= 0xD800 && point <= 0xDFFF;
    return point < smallest || surrogate || point > 0x10FFFF ? 0 : length;
}

std::string Unicode(unsigned value) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", value);
    return escaped;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

}  // namespace

const char* ResultName(Result result) {
    switch (result) {
        case Result::kConverted:
            return "converted";
        case Result::kSkipped:
            return "skipped";
        case Result::kFailed:
            break;
    }
    return "failed";
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            out += Unicode(c);
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (const std::size_t length = Utf8Length(text, i); length > 0) {
            out.append(text, i, length);
            i += length;
            continue;
        } else {
            out += Unicode(c);
        }
        ++i;
    }
    return out + "\"";
}

std::string ReportLine(const SourceWorkbook& workbook, const WorkbookOutcome& outcome) {
    std::string line =
        "{\"source\":" + JsonString(workbook.path) +
        ",\"target\":" + (outcome.target.empty() ? "null" : JsonString(outcome.target)) +
        ",\"result\":\"" + ResultName(outcome.result) + "\"" +
        ",\"error\":" + std::to_string(outcome.errorNumber) +
        ",\"message\":" + JsonString(outcome.message) + ",\"seconds\":" + Number(outcome.seconds);
    using calcserver::report::ConversionReport;
    const std::optional<ConversionReport> report = ConversionReport::Parse(outcome.reportText);
    line += ",\"counts\":{";
    if (report) {
        const char* separator = "";
        for (const auto& [name, amount] : report->Counts()) {
            line += separator + JsonString(name) + ":" + std::to_string(amount);
            separator = ",";
        }
    }
    line += "},\"changes\":[";
    if (report) {
        const char* separator = "";
        for (const auto& item : report->Items()) {
            line += std::string(separator) + "{\"step\":" + JsonString(item.step) +
                    ",\"what\":" + JsonString(item.what) + ",\"where\":" + JsonString(item.where) +
                    "}";
            separator = ",";
        }
    }
    line += "],\"changesLeftOut\":" + std::to_string(report ? report->ItemsLeftOut() : 0) + "}";
    return line;
}

}  // namespace tabrook::cli
