#include "calcserver/report/conversion_report.h"

#include <charconv>
#include <limits>

namespace tabrook::calcserver::report {
namespace {

// Cuts to at most kMaxText bytes, "..." included, backing off to the start of a UTF-8
// sequence so that the cut never splits a character. A text it returns passes it again
// unchanged, so that a report reads back as it was written.
std::string Bounded(std::string_view text) {
    constexpr std::string_view kCut = "...";
    if (text.size() <= ConversionReport::kMaxText) {
        return std::string(text);
    }
    std::size_t end = ConversionReport::kMaxText - kCut.size();
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return std::string(text.substr(0, end)) + std::string(kCut);
}

std::string Escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::optional<std::string> Unescaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) {
            return std::nullopt;
        }
        switch (text[i]) {
            case '\\':
                out += '\\';
                break;
            case 't':
                out += '\t';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            default:
                return std::nullopt;
        }
    }
    return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (std::size_t tab = line.find('\t'); tab != std::string_view::npos;
         tab = line.find('\t', start)) {
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

// Counts stop at their largest value instead of wrapping round to a small one.
std::uint64_t SaturatingSum(std::uint64_t a, std::uint64_t b) {
    return a > std::numeric_limits<std::uint64_t>::max() - b
               ? std::numeric_limits<std::uint64_t>::max()
               : a + b;
}

std::optional<std::uint64_t> Number(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

void ConversionReport::Count(std::string_view name, std::uint64_t amount) {
    const auto found = counts_.find(name);
    if (found == counts_.end()) {
        counts_.emplace(Bounded(name), amount);
    } else {
        found->second = SaturatingSum(found->second, amount);
    }
}

void ConversionReport::Add(std::string_view step, std::string_view what, std::string_view where) {
    if (items_.size() >= kMaxItems) {
        itemsLeftOut_ = SaturatingSum(itemsLeftOut_, 1);
        return;
    }
    items_.push_back({Bounded(step), Bounded(what), Bounded(where)});
}

std::string ConversionReport::Serialize() const {
    std::string text;
    for (const auto& [name, amount] : counts_) {
        text += "count\t" + Escaped(name) + "\t" + std::to_string(amount) + "\n";
    }
    for (const ReportItem& item : items_) {
        text += "item\t" + Escaped(item.step) + "\t" + Escaped(item.what) + "\t" +
                Escaped(item.where) + "\n";
    }
    if (itemsLeftOut_ > 0) {
        text += "left\t" + std::to_string(itemsLeftOut_) + "\n";
    }
    return text;
}

std::optional<ConversionReport> ConversionReport::Parse(std::string_view text) {
    ConversionReport parsed;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        if (newline == std::string_view::npos) {
            return std::nullopt;  // cut short
        }
        const std::vector<std::string_view> fields = Fields(text.substr(0, newline));
        text.remove_prefix(newline + 1);
        if (fields[0] == "count" && fields.size() == 3) {
            const auto name = Unescaped(fields[1]);
            const auto amount = Number(fields[2]);
            if (!name || !amount) {
                return std::nullopt;
            }
            parsed.Count(*name, *amount);
        } else if (fields[0] == "item" && fields.size() == 4) {
            const auto step = Unescaped(fields[1]);
            const auto what = Unescaped(fields[2]);
            const auto where = Unescaped(fields[3]);
            if (!step || !what || !where) {
                return std::nullopt;
            }
            parsed.Add(*step, *what, *where);
        } else if (fields[0] == "left" && fields.size() == 2) {
            const auto amount = Number(fields[1]);
            if (!amount) {
                return std::nullopt;
            }
            parsed.itemsLeftOut_ = SaturatingSum(parsed.itemsLeftOut_, *amount);
        } else {
            return std::nullopt;
        }
    }
    return parsed;
}

}  // namespace tabrook::calcserver::report
