#include <cctype>
#include <charconv>
#include <cmath>
#include <initializer_list>
#include <string_view>

#include "calcserver/xlsb/cell_ref.h"
#include "calcserver/xlsb/formula_syntax.h"

namespace tabrook::calcserver::xlsb::formula {
namespace {

struct ErrorCode {
    std::string_view text;
    std::uint8_t code;
};
constexpr ErrorCode kErrors[] = {
    {"#NULL!", 0x00}, {"#DIV/0!", 0x07}, {"#VALUE!", 0x0F}, {"#REF!", 0x17},
    {"#NAME?", 0x1D}, {"#NUM!", 0x24},   {"#N/A", 0x2A},    {"#GETTING_DATA", 0x2B},
};

bool IsIdentChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || c == '.' || c == '\\' || u >= 0x80;
}

// One A1 reference (cell, cell:cell, column:column or row:row) at the start of `text`;
// returns the characters used, 0 when there is none.
std::size_t ScanRef(std::string_view text, Ref& ref) {
    enum class Part { kNone, kCell, kCol, kRow };
    const auto scanPart = [&text](std::size_t i, RefPart& part, Part& kind) -> std::size_t {
        const bool dollar1 = i < text.size() && text[i] == '$';
        i += dollar1 ? 1 : 0;
        const std::size_t letters = i;
        while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i]))) {
            ++i;
        }
        const std::size_t letterCount = i - letters;
        const bool dollar2 = i < text.size() && text[i] == '$';
        i += dollar2 ? 1 : 0;
        const std::size_t digits = i;
        std::int64_t row = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) &&
               i - digits < 8) {
            row = row * 10 + (text[i] - '0');
            ++i;
        }
        const std::size_t digitCount = i - digits;
        const bool rowOk = digitCount > 0 && row >= 1 && row - 1 <= kMaxRow;
        if (letterCount > 0) {
            const auto col = ParseColumnLetters(text.substr(letters, letterCount));
            if (!col) {
                return 0;
            }
            part.col = *col;
            part.colRel = !dollar1;
            if (digitCount == 0) {
                kind = Part::kCol;
                return dollar2 ? 0 : i;
            }
            if (!rowOk) {
                return 0;
            }
            part.row = static_cast<std::int32_t>(row - 1);
            part.rowRel = !dollar2;
            kind = Part::kCell;
            return i;
        }
        // Row only: a single '$' before the digits makes it absolute.
        if (!rowOk || (dollar1 && dollar2)) {
            return 0;
        }
        part.row = static_cast<std::int32_t>(row - 1);
        part.rowRel = !(dollar1 || dollar2);
        kind = Part::kRow;
        return i;
    };

    Part firstKind = Part::kNone;
    const std::size_t end1 = scanPart(0, ref.first, firstKind);
    if (end1 == 0) {
        return 0;
    }
    std::size_t end = end1;
    ref.area = false;
    if (end1 < text.size() && text[end1] == ':') {
        Part secondKind = Part::kNone;
        RefPart second;
        const std::size_t end2 = scanPart(end1 + 1, second, secondKind);
        if (end2 != 0 && secondKind == firstKind) {
            ref.last = second;
            ref.area = true;
            end = end2;
        }
    }
    if (!ref.area && firstKind != Part::kCell) {
        return 0;
    }
    if (end < text.size() && (IsIdentChar(text[end]) || text[end] == '(' || text[end] == '$')) {
        return 0;
    }
    if (firstKind == Part::kCol) {
        ref.first.row = 0;
        ref.last.row = kMaxRow;
        ref.first.rowRel = ref.last.rowRel = false;
    } else if (firstKind == Part::kRow) {
        ref.first.col = 0;
        ref.last.col = kMaxCol;
        ref.first.colRel = ref.last.colRel = false;
    }
    return end;
}

class Lexer {
  public:
    Lexer(std::string_view text, const FormulaScope& scope) : text_(text), scope_(scope) {}

    std::vector<Token> Run() {
        std::vector<Token> tokens;
        for (;;) {
            bool space = false;
            while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) {
                ++pos_;
                space = true;
            }
            Token token = Next();
            token.spaceBefore = space;
            const bool end = token.kind == Tok::kEnd;
            tokens.push_back(std::move(token));
            if (end) {
                return tokens;
            }
        }
    }

  private:
    [[noreturn]] void Fail(const std::string& why) const { throw UnencodableFormula(why); }

    Token Next() {
        if (pos_ >= text_.size()) {
            return Token{};
        }
        const char c = text_[pos_];
        switch (c) {
            case '"':
                return String();
            case '#':
                return ErrorConstant();
            case '\'':
                return QuotedSheet();
            case '[':
                return ExternalSheet();
            case '{':
                Fail("an array constant");
            case '$':
                if (auto ref = TryRef(std::nullopt)) {
                    return *ref;
                }
                Fail("a malformed reference");
            default:
                break;
        }
        if (std::isdigit(static_cast<unsigned char>(c))) {
            // "1:3" is a range of rows, "1.5" a number.
            if (auto ref = TryRef(std::nullopt)) {
                return *ref;
            }
            return Number();
        }
        if (c == '.') {
            return Number();
        }
        return IsIdentChar(c) ? Word() : Operator();
    }

    Token ErrorConstant() {
        const std::string_view rest = text_.substr(pos_);
        for (const auto& error : kErrors) {
            if (rest.starts_with(error.text)) {
                pos_ += error.text.size();
                Token t;
                t.kind = Tok::kError;
                t.code = error.code;
                return t;
            }
        }
        Fail("unknown error constant");
    }

    Token Operator() {
        Token t;
        for (const std::string_view two : {"<=", ">=", "<>"}) {
            if (text_.substr(pos_).starts_with(two)) {
                pos_ += 2;
                t.kind = Tok::kOp;
                t.text = two;
                return t;
            }
        }
        const char c = text_[pos_++];
        t.text = std::string(1, c);
        switch (c) {
            case '+':
            case '-':
            case '*':
            case '/':
            case '^':
            case '&':
            case '=':
            case '<':
            case '>':
            case '%':
            case ':':
                t.kind = Tok::kOp;
                return t;
            case '(':
                t.kind = Tok::kOpen;
                return t;
            case ')':
                t.kind = Tok::kClose;
                return t;
            case ',':
                t.kind = Tok::kComma;
                return t;
            default:
                Fail(std::string("the character '") + c + "'");
        }
    }

    Token String() {
        Token t;
        t.kind = Tok::kString;
        ++pos_;
        for (;;) {
            if (pos_ >= text_.size()) {
                Fail("an unterminated string");
            }
            if (text_[pos_] == '"') {
                if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '"') {
                    t.text.push_back('"');
                    pos_ += 2;
                    continue;
                }
                ++pos_;
                return t;
            }
            t.text.push_back(text_[pos_++]);
        }
    }

    // Independent of the process locale: formulas always use '.' as the decimal point.
    Token Number() {
        double value = 0;
        const char* first = text_.data() + pos_;
        const auto [end, error] = std::from_chars(first, text_.data() + text_.size(), value);
        if (error != std::errc() || end == first || !std::isfinite(value)) {
            Fail("a malformed number");
        }
        pos_ += static_cast<std::size_t>(end - first);
        Token t;
        t.kind = Tok::kNumber;
        t.number = value;
        return t;
    }

    std::optional<Token> TryRef(std::optional<std::pair<int, int>> sheets) {
        Token t;
        t.ref.sheets = sheets;
        const std::size_t used = ScanRef(text_.substr(pos_), t.ref);
        if (used == 0) {
            return std::nullopt;
        }
        pos_ += used;
        t.kind = Tok::kRef;
        return t;
    }

    struct Sheets {
        int book = 0;
        std::pair<int, int> range;
    };

    // "Name", "First:Last", "[2]Name" or "[2]First:Last".
    Sheets ResolveSheets(std::string_view prefix) const {
        Sheets out;
        if (prefix.starts_with("[")) {
            const auto close = prefix.find(']');
            const std::string digits(
                prefix.substr(1, close == std::string_view::npos ? 0 : close - 1));
            if (close == std::string_view::npos || digits.empty() || digits.size() > 4 ||
                digits.find_first_not_of("0123456789") != std::string::npos) {
                Fail("a malformed reference to another workbook");
            }
            out.book = std::stoi(digits);
            prefix.remove_prefix(close + 1);
            if (out.book == 0 || prefix.empty()) {
                Fail("a reference to another workbook without a sheet");
            }
        }
        const auto colon = prefix.find(':');
        const auto first = scope_.SheetIndex(out.book, prefix.substr(0, colon));
        const auto last = colon == std::string_view::npos
                              ? first
                              : scope_.SheetIndex(out.book, prefix.substr(colon + 1));
        if (!first || !last) {
            Fail(out.book == 0 ? "a reference to an unknown sheet"
                               : "a reference to a sheet of another workbook that is not linked");
        }
        out.range = {std::min(*first, *last), std::max(*first, *last)};
        return out;
    }

    // What follows "Sheet!": a reference, "#REF!" or a sheet-level name.
    Token AfterSheet(std::string_view prefix) {
        const Sheets sheets = ResolveSheets(prefix);
        if (text_.substr(pos_).starts_with("#REF!")) {
            pos_ += 5;
            Token t;
            t.kind = Tok::kRef;
            t.ref.book = sheets.book;
            t.ref.sheets = sheets.range;
            t.ref.error = true;
            return t;
        }
        if (auto ref = TryRef(sheets.range)) {
            ref->ref.book = sheets.book;
            return *ref;
        }
        const std::size_t begin = pos_;
        while (pos_ < text_.size() && IsIdentChar(text_[pos_])) {
            ++pos_;
        }
        if (pos_ == begin || sheets.range.first != sheets.range.second || sheets.book != 0) {
            Fail("a malformed sheet reference");
        }
        Token t;
        t.kind = Tok::kName;
        t.text = text_.substr(begin, pos_ - begin);
        t.nameSheet = sheets.range.first;
        return t;
    }

    // "[2]Sheet!A1" or "[2]First:Last!A1" without quotes.
    Token ExternalSheet() {
        const std::size_t begin = pos_;
        std::size_t end = text_.find(']', begin);
        if (end == std::string_view::npos) {
            Fail("a malformed reference to another workbook");
        }
        ++end;
        for (int part = 0; part < 2; ++part) {
            while (end < text_.size() && IsIdentChar(text_[end])) {
                ++end;
            }
            if (part == 0 && end < text_.size() && text_[end] == ':') {
                ++end;
            } else {
                break;
            }
        }
        if (end >= text_.size() || text_[end] != '!') {
            Fail("a name or cell of another workbook without a sheet");
        }
        pos_ = end + 1;
        return AfterSheet(text_.substr(begin, end - begin));
    }

    Token QuotedSheet() {
        std::string prefix;
        ++pos_;
        for (;;) {
            if (pos_ >= text_.size()) {
                Fail("an unterminated sheet name");
            }
            if (text_[pos_] == '\'') {
                if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
                    prefix.push_back('\'');
                    pos_ += 2;
                    continue;
                }
                ++pos_;
                break;
            }
            prefix.push_back(text_[pos_++]);
        }
        if (pos_ >= text_.size() || text_[pos_] != '!') {
            Fail("a quoted name that is not a sheet");
        }
        ++pos_;
        return AfterSheet(prefix);
    }

    Token Word() {
        const std::size_t begin = pos_;
        std::size_t end = begin;
        while (end < text_.size() && IsIdentChar(text_[end])) {
            ++end;
        }
        // "Sheet1!..." or "Sheet1:Sheet3!..."
        if (end < text_.size() && text_[end] == '!') {
            pos_ = end + 1;
            return AfterSheet(text_.substr(begin, end - begin));
        }
        if (end < text_.size() && text_[end] == ':') {
            std::size_t second = end + 1;
            while (second < text_.size() && IsIdentChar(text_[second])) {
                ++second;
            }
            if (second < text_.size() && text_[second] == '!' && second > end + 1) {
                pos_ = second + 1;
                return AfterSheet(text_.substr(begin, second - begin));
            }
        }
        if (auto ref = TryRef(std::nullopt)) {
            return *ref;
        }
        Token t;
        t.text = text_.substr(begin, end - begin);
        pos_ = end;
        std::size_t look = end;
        while (look < text_.size() && text_[look] == ' ') {
            ++look;
        }
        if (look < text_.size() && text_[look] == '(') {
            t.kind = Tok::kFunc;
            return t;
        }
        std::string upper = t.text;
        for (char& ch : upper) {
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        }
        if (upper == "TRUE" || upper == "FALSE") {
            t.kind = Tok::kBool;
            t.code = upper == "TRUE" ? 1 : 0;
            return t;
        }
        t.kind = Tok::kName;
        return t;
    }

    std::string_view text_;
    const FormulaScope& scope_;
    std::size_t pos_ = 0;
};

}  // namespace

std::vector<Token> Tokenize(std::string_view text, const FormulaScope& scope) {
    return Lexer(text, scope).Run();
}

}  // namespace tabrook::calcserver::xlsb::formula
