#include "calcserver/xlsb/formula_encoder.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "calcserver/xlsb/cell_ref.h"
#include "calcserver/xlsb/function_table.h"

namespace tabrook::calcserver::xlsb {
namespace {

// Token numbers; operand tokens add 0x20 (reference), 0x40 (value) or 0x60 (array).
enum Ptg : std::uint8_t {
    kExp = 0x01,
    kAdd = 0x03,
    kSub = 0x04,
    kMul = 0x05,
    kDiv = 0x06,
    kPower = 0x07,
    kConcat = 0x08,
    kLt = 0x09,
    kLe = 0x0A,
    kEq = 0x0B,
    kGe = 0x0C,
    kGt = 0x0D,
    kNe = 0x0E,
    kIsect = 0x0F,
    kUnion = 0x10,
    kRange = 0x11,
    kUplus = 0x12,
    kUminus = 0x13,
    kPercent = 0x14,
    kParen = 0x15,
    kMissArg = 0x16,
    kStr = 0x17,
    kErr = 0x1C,
    kBool = 0x1D,
    kInt = 0x1E,
    kNum = 0x1F,
    kFunc = 0x01,
    kFuncVar = 0x02,
    kName = 0x03,
    kRef = 0x04,
    kArea = 0x05,
    kRefErr = 0x0A,
    kAreaErr = 0x0B,
    kRef3d = 0x1A,
    kArea3d = 0x1B,
    kRefErr3d = 0x1C,
    kAreaErr3d = 0x1D,
};

enum class Cls : std::uint8_t { kRef = 0x20, kValue = 0x40, kArray = 0x60 };

struct ErrorCode {
    std::string_view text;
    std::uint8_t code;
};
constexpr ErrorCode kErrors[] = {
    {"#NULL!", 0x00}, {"#DIV/0!", 0x07}, {"#VALUE!", 0x0F}, {"#REF!", 0x17},
    {"#NAME?", 0x1D}, {"#NUM!", 0x24},   {"#N/A", 0x2A},    {"#GETTING_DATA", 0x2B},
};

struct RefPart {
    std::int32_t row = 0;
    std::int32_t col = 0;
    bool row_rel = true;
    bool col_rel = true;
};

struct Ref {
    int book = 0;                               // 0: this workbook, n: external book [n]
    std::optional<std::pair<int, int>> sheets;  // first and last sheet
    bool error = false;                         // "Sheet1!#REF!"
    bool area = false;
    RefPart first;
    RefPart last;
};

enum class Tok {
    kEnd,
    kNumber,
    kString,
    kBool,
    kError,
    kRef,
    kName,
    kFunc,
    kOp,
    kOpen,
    kClose,
    kComma,
};

struct Token {
    Tok kind = Tok::kEnd;
    std::string text;
    double number = 0;
    std::uint8_t code = 0;
    Ref ref;
    std::optional<int> name_sheet;  // "Sheet1!Name"
    bool space_before = false;
};

bool IsIdentChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || c == '.' || c == '\\' || u >= 0x80;
}

// One A1 reference (cell, cell:cell, column:column or row:row) at the start of `text`;
// returns the characters used, 0 when there is none.
std::size_t ScanRef(std::string_view text, Ref& ref) {
    enum class Part { kNone, kCell, kCol, kRow };
    const auto scan_part = [&text](std::size_t i, RefPart& part, Part& kind) -> std::size_t {
        const bool dollar1 = i < text.size() && text[i] == '$';
        i += dollar1 ? 1 : 0;
        const std::size_t letters = i;
        while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i]))) {
            ++i;
        }
        const std::size_t letter_count = i - letters;
        const bool dollar2 = i < text.size() && text[i] == '$';
        i += dollar2 ? 1 : 0;
        const std::size_t digits = i;
        std::int64_t row = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) &&
               i - digits < 8) {
            row = row * 10 + (text[i] - '0');
            ++i;
        }
        const std::size_t digit_count = i - digits;
        const bool row_ok = digit_count > 0 && row >= 1 && row - 1 <= kMaxRow;
        if (letter_count > 0) {
            const auto col = ParseColumnLetters(text.substr(letters, letter_count));
            if (!col) {
                return 0;
            }
            part.col = *col;
            part.col_rel = !dollar1;
            if (digit_count == 0) {
                kind = Part::kCol;
                return dollar2 ? 0 : i;
            }
            if (!row_ok) {
                return 0;
            }
            part.row = static_cast<std::int32_t>(row - 1);
            part.row_rel = !dollar2;
            kind = Part::kCell;
            return i;
        }
        // Row only: a single '$' before the digits makes it absolute.
        if (!row_ok || (dollar1 && dollar2)) {
            return 0;
        }
        part.row = static_cast<std::int32_t>(row - 1);
        part.row_rel = !(dollar1 || dollar2);
        kind = Part::kRow;
        return i;
    };

    Part first_kind = Part::kNone;
    const std::size_t end1 = scan_part(0, ref.first, first_kind);
    if (end1 == 0) {
        return 0;
    }
    std::size_t end = end1;
    ref.area = false;
    if (end1 < text.size() && text[end1] == ':') {
        Part second_kind = Part::kNone;
        RefPart second;
        const std::size_t end2 = scan_part(end1 + 1, second, second_kind);
        if (end2 != 0 && second_kind == first_kind) {
            ref.last = second;
            ref.area = true;
            end = end2;
        }
    }
    if (!ref.area && first_kind != Part::kCell) {
        return 0;
    }
    if (end < text.size() && (IsIdentChar(text[end]) || text[end] == '(' || text[end] == '$')) {
        return 0;
    }
    if (first_kind == Part::kCol) {
        ref.first.row = 0;
        ref.last.row = kMaxRow;
        ref.first.row_rel = ref.last.row_rel = false;
    } else if (first_kind == Part::kRow) {
        ref.first.col = 0;
        ref.last.col = kMaxCol;
        ref.first.col_rel = ref.last.col_rel = false;
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
            token.space_before = space;
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
        Token t;
        if (pos_ >= text_.size()) {
            return t;
        }
        const char c = text_[pos_];
        const std::string_view rest = text_.substr(pos_);
        if (c == '"') {
            return String();
        }
        if (c == '#') {
            for (const auto& error : kErrors) {
                if (rest.starts_with(error.text)) {
                    pos_ += error.text.size();
                    t.kind = Tok::kError;
                    t.code = error.code;
                    return t;
                }
            }
            Fail("unknown error constant");
        }
        if (c == '\'') {
            return QuotedSheet();
        }
        if (c == '[') {
            return ExternalSheet();
        }
        if (c == '{') {
            Fail("an array constant");
        }
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') {
            if (std::isdigit(static_cast<unsigned char>(c))) {
                if (auto ref = TryRef(std::nullopt)) {
                    return *ref;
                }
            }
            return Number();
        }
        if (c == '$') {
            if (auto ref = TryRef(std::nullopt)) {
                return *ref;
            }
            Fail("a malformed reference");
        }
        if (IsIdentChar(c)) {
            return Word();
        }
        static constexpr std::string_view kTwo[] = {"<=", ">=", "<>"};
        for (auto op : kTwo) {
            if (rest.starts_with(op)) {
                pos_ += 2;
                t.kind = Tok::kOp;
                t.text = op;
                return t;
            }
        }
        ++pos_;
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
    Sheets ResolveSheets(std::string_view spec) const {
        Sheets out;
        if (spec.starts_with("[")) {
            const auto close = spec.find(']');
            const std::string digits(
                spec.substr(1, close == std::string_view::npos ? 0 : close - 1));
            if (close == std::string_view::npos || digits.empty() || digits.size() > 4 ||
                digits.find_first_not_of("0123456789") != std::string::npos) {
                Fail("a malformed reference to another workbook");
            }
            out.book = std::stoi(digits);
            spec.remove_prefix(close + 1);
            if (out.book == 0 || spec.empty()) {
                Fail("a reference to another workbook without a sheet");
            }
        }
        const auto colon = spec.find(':');
        const auto first = scope_.SheetIndex(out.book, spec.substr(0, colon));
        const auto last = colon == std::string_view::npos
                              ? first
                              : scope_.SheetIndex(out.book, spec.substr(colon + 1));
        if (!first || !last) {
            Fail(out.book == 0 ? "a reference to an unknown sheet"
                               : "a reference to a sheet of another workbook that is not linked");
        }
        out.range = {std::min(*first, *last), std::max(*first, *last)};
        return out;
    }

    // What follows "Sheet!": a reference, "#REF!" or a sheet-level name.
    Token AfterSheet(std::string_view spec) {
        const Sheets sheets = ResolveSheets(spec);
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
        t.name_sheet = sheets.range.first;
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
        std::string spec;
        ++pos_;
        for (;;) {
            if (pos_ >= text_.size()) {
                Fail("an unterminated sheet name");
            }
            if (text_[pos_] == '\'') {
                if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
                    spec.push_back('\'');
                    pos_ += 2;
                    continue;
                }
                ++pos_;
                break;
            }
            spec.push_back(text_[pos_++]);
        }
        if (pos_ >= text_.size() || text_[pos_] != '!') {
            Fail("a quoted name that is not a sheet");
        }
        ++pos_;
        return AfterSheet(spec);
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

struct Node {
    enum Kind {
        kNumber,
        kString,
        kBool,
        kError,
        kRef,
        kName,
        kMissing,
        kUnary,
        kPercent,
        kBinary,
        kParen,
        kFunc
    } kind;
    double number = 0;
    std::string text;
    std::uint8_t code = 0;
    Ref ref;
    std::uint32_t name_index = 0;
    const FunctionInfo* function = nullptr;
    std::vector<std::unique_ptr<Node>> kids;
};
using NodePtr = std::unique_ptr<Node>;

NodePtr Make(Node::Kind kind) {
    auto node = std::make_unique<Node>();
    node->kind = kind;
    return node;
}

class Parser {
  public:
    Parser(std::vector<Token> tokens, const FormulaScope& scope, int sheet)
        : tokens_(std::move(tokens)), scope_(scope), sheet_(sheet) {}

    // Defined names may be unions without parentheses ("Print_Titles": $A:$A,$1:$1).
    NodePtr Run(bool union_ok) {
        auto root = Comparison(union_ok);
        if (Peek().kind != Tok::kEnd) {
            Fail("unexpected text after the formula");
        }
        return root;
    }

  private:
    [[noreturn]] static void Fail(const std::string& why) { throw UnencodableFormula(why); }
    const Token& Peek() const { return tokens_[at_]; }
    Token Take() { return tokens_[at_ < tokens_.size() - 1 ? at_++ : at_]; }
    bool PeekOp(std::string_view op) const { return Peek().kind == Tok::kOp && Peek().text == op; }

    static NodePtr Binary(std::string op, NodePtr left, NodePtr right) {
        auto node = Make(Node::kBinary);
        node->text = std::move(op);
        node->kids.push_back(std::move(left));
        node->kids.push_back(std::move(right));
        return node;
    }

    template <typename Next>
    NodePtr LeftAssoc(std::initializer_list<std::string_view> ops, Next next) {
        NodePtr left = next();
        for (;;) {
            bool matched = false;
            for (auto op : ops) {
                if (PeekOp(op)) {
                    Take();
                    left = Binary(std::string(op), std::move(left), next());
                    matched = true;
                    break;
                }
            }
            if (!matched) {
                return left;
            }
        }
    }

    NodePtr Comparison(bool union_ok) {
        return LeftAssoc({"=", "<>", "<=", ">=", "<", ">"}, [&] { return Concat(union_ok); });
    }
    NodePtr Concat(bool union_ok) {
        return LeftAssoc({"&"}, [&] { return Additive(union_ok); });
    }
    NodePtr Additive(bool union_ok) {
        return LeftAssoc({"+", "-"}, [&] { return Multiplicative(union_ok); });
    }
    NodePtr Multiplicative(bool union_ok) {
        return LeftAssoc({"*", "/"}, [&] { return Power(union_ok); });
    }
    NodePtr Power(bool union_ok) {
        return LeftAssoc({"^"}, [&] { return Percent(union_ok); });
    }
    NodePtr Percent(bool union_ok) {
        NodePtr node = Unary(union_ok);
        while (PeekOp("%")) {
            Take();
            auto percent = Make(Node::kPercent);
            percent->kids.push_back(std::move(node));
            node = std::move(percent);
        }
        return node;
    }
    NodePtr Unary(bool union_ok) {
        if (PeekOp("-") || PeekOp("+")) {
            auto node = Make(Node::kUnary);
            node->text = Take().text;
            node->kids.push_back(Unary(union_ok));
            return node;
        }
        return Union(union_ok);
    }
    NodePtr Union(bool union_ok) {
        NodePtr left = Intersection();
        while (union_ok && Peek().kind == Tok::kComma) {
            Take();
            left = Binary(",", std::move(left), Intersection());
        }
        return left;
    }
    static bool StartsOperand(const Token& t) {
        return t.kind == Tok::kRef || t.kind == Tok::kName || t.kind == Tok::kFunc ||
               t.kind == Tok::kOpen;
    }
    NodePtr Intersection() {
        NodePtr left = Range();
        while (Peek().space_before && StartsOperand(Peek())) {
            left = Binary(" ", std::move(left), Range());
        }
        return left;
    }
    NodePtr Range() {
        NodePtr left = Primary();
        while (PeekOp(":")) {
            Take();
            left = Binary(":", std::move(left), Primary());
        }
        return left;
    }

    NodePtr Primary() {
        Token t = Take();
        switch (t.kind) {
            case Tok::kNumber: {
                auto node = Make(Node::kNumber);
                node->number = t.number;
                return node;
            }
            case Tok::kString: {
                auto node = Make(Node::kString);
                node->text = std::move(t.text);
                return node;
            }
            case Tok::kBool:
            case Tok::kError: {
                auto node = Make(t.kind == Tok::kBool ? Node::kBool : Node::kError);
                node->code = t.code;
                return node;
            }
            case Tok::kRef: {
                auto node = Make(Node::kRef);
                node->ref = t.ref;
                return node;
            }
            case Tok::kName: {
                const auto index = scope_.NameIndex(t.text, t.name_sheet.value_or(sheet_));
                if (!index) {
                    Fail("the unknown name " + t.text);
                }
                auto node = Make(Node::kName);
                node->name_index = *index;
                return node;
            }
            case Tok::kOpen: {
                auto node = Make(Node::kParen);
                node->kids.push_back(Comparison(true));
                Expect(Tok::kClose);
                return node;
            }
            case Tok::kFunc:
                return Function(t.text);
            default:
                Fail("a formula that ends or continues unexpectedly");
        }
    }

    void Expect(Tok kind) {
        if (Take().kind != kind) {
            Fail("unbalanced parentheses");
        }
    }

    NodePtr Function(const std::string& name) {
        const FunctionInfo* info = FindFunction(name);
        if (info == nullptr) {
            Fail("the function " + name + " has no built-in number");
        }
        Expect(Tok::kOpen);
        auto node = Make(Node::kFunc);
        node->function = info;
        if (Peek().kind == Tok::kClose) {
            Take();
        } else {
            for (;;) {
                if (Peek().kind == Tok::kComma || Peek().kind == Tok::kClose) {
                    node->kids.push_back(Make(Node::kMissing));
                } else {
                    node->kids.push_back(Comparison(false));
                }
                const Token sep = Take();
                if (sep.kind == Tok::kClose) {
                    break;
                }
                if (sep.kind != Tok::kComma) {
                    Fail("a malformed argument list of " + name);
                }
            }
        }
        const auto count = node->kids.size();
        if (count < info->min_args || count > info->max_args) {
            Fail(name + " with " + std::to_string(count) + " arguments");
        }
        return node;
    }

    std::vector<Token> tokens_;
    const FormulaScope& scope_;
    int sheet_;
    std::size_t at_ = 0;
};

class Emitter {
  public:
    Emitter(FormulaKind kind, FormulaScope& scope, FormulaShift shift)
        : operand_(kind == FormulaKind::kArray ? Cls::kArray : Cls::kValue),
          scope_(scope),
          shift_(shift) {}

    void Emit(const Node& node, Cls cls) {
        switch (node.kind) {
            case Node::kNumber:
                if (node.number >= 0 && node.number <= 65535 &&
                    std::trunc(node.number) == node.number && !std::signbit(node.number)) {
                    out_.U8(kInt).U16(static_cast<std::uint16_t>(node.number));
                } else {
                    out_.U8(kNum).F64(node.number);
                }
                return;
            case Node::kString: {
                const std::u16string text = Utf16FromUtf8(node.text);
                if (text.size() > 255) {
                    throw UnencodableFormula("a string constant longer than 255 characters");
                }
                out_.U8(kStr).U16(static_cast<std::uint16_t>(text.size())).Utf16(text);
                return;
            }
            case Node::kBool:
                out_.U8(kBool).U8(node.code);
                return;
            case Node::kError:
                // A bare #REF! stands for a reference that was deleted: readers show a
                // reference error token as "#REF!", an error constant they may not.
                if (node.code == 0x17) {
                    out_.U8(Token(kRefErr, cls == Cls::kRef ? Cls::kRef : operand_)).U32(0).U16(0);
                } else {
                    out_.U8(kErr).U8(node.code);
                }
                return;
            case Node::kMissing:
                out_.U8(kMissArg);
                return;
            case Node::kRef:
                EmitRef(node.ref, cls);
                return;
            case Node::kName:
                out_.U8(Token(kName, cls)).U32(node.name_index);
                return;
            case Node::kParen:
                Emit(*node.kids[0], cls);
                out_.U8(kParen);
                return;
            case Node::kUnary:
                Emit(*node.kids[0], operand_);
                out_.U8(node.text == "-" ? kUminus : kUplus);
                return;
            case Node::kPercent:
                Emit(*node.kids[0], operand_);
                out_.U8(kPercent);
                return;
            case Node::kBinary:
                EmitBinary(node);
                return;
            case Node::kFunc:
                EmitFunction(node, cls);
                return;
        }
    }

    EncodedFormula Take() {
        EncodedFormula out;
        // A formula that calls a volatile function starts with PtgAttrSemi, so that it is
        // recalculated whenever anything is.
        if (volatile_) {
            out.rgce = std::string("\x19\x01\x00\x00", 4);
        }
        out.rgce += out_.Bytes();
        return out;
    }

  private:
    static std::uint8_t Token(std::uint8_t base, Cls cls) {
        return static_cast<std::uint8_t>(base | static_cast<std::uint8_t>(cls));
    }

    void EmitBinary(const Node& node) {
        static const std::pair<std::string_view, std::uint8_t> kOps[] = {
            {"+", kAdd},    {"-", kSub}, {"*", kMul},   {"/", kDiv},   {"^", kPower},
            {"&", kConcat}, {"<", kLt},  {"<=", kLe},   {"=", kEq},    {">=", kGe},
            {">", kGt},     {"<>", kNe}, {" ", kIsect}, {",", kUnion}, {":", kRange},
        };
        std::uint8_t ptg = 0;
        for (const auto& [text, code] : kOps) {
            if (node.text == text) {
                ptg = code;
            }
        }
        const bool reference_op = ptg == kIsect || ptg == kUnion || ptg == kRange;
        const Cls operands = reference_op ? Cls::kRef : operand_;
        Emit(*node.kids[0], operands);
        Emit(*node.kids[1], operands);
        out_.U8(ptg);
    }

    void EmitFunction(const Node& node, Cls cls) {
        const FunctionInfo& f = *node.function;
        static constexpr std::string_view kVolatile[] = {
            "NOW", "TODAY", "RAND", "RANDBETWEEN", "OFFSET", "INDIRECT", "INFO", "CELL"};
        for (auto name : kVolatile) {
            volatile_ = volatile_ || f.name == name;
        }
        for (std::size_t i = 0; i < node.kids.size(); ++i) {
            const char want = f.ParamClass(static_cast<int>(i));
            const Cls arg = want == 'R' ? Cls::kRef : want == 'A' ? Cls::kArray : operand_;
            Emit(*node.kids[i], arg);
        }
        const Cls result = cls == Cls::kArray                       ? Cls::kArray
                           : (f.returns == 'R' && cls == Cls::kRef) ? Cls::kRef
                                                                    : Cls::kValue;
        if (f.FixedArity()) {
            out_.U8(Token(kFunc, result)).U16(f.id);
        } else {
            out_.U8(Token(kFuncVar, result))
                .U8(static_cast<std::uint8_t>(node.kids.size()))
                .U16(f.id);
        }
    }

    RefPart Shifted(RefPart part) const {
        if (part.row_rel) {
            part.row += shift_.rows;
        }
        if (part.col_rel) {
            part.col += shift_.cols;
        }
        if (part.row < 0 || part.row > kMaxRow || part.col < 0 || part.col > kMaxCol) {
            throw UnencodableFormula("a shared formula that moves a reference off the sheet");
        }
        return part;
    }

    void Loc(const RefPart& part, bool row_field) {
        if (row_field) {
            out_.U32(static_cast<std::uint32_t>(part.row));
            return;
        }
        auto col = static_cast<std::uint16_t>(part.col);
        // Bit 14 marks a relative column, bit 15 a relative row.
        if (part.col_rel) {
            col |= 0x4000;
        }
        if (part.row_rel) {
            col |= 0x8000;
        }
        out_.U16(col);
    }

    void EmitRef(const Ref& ref, Cls cls) {
        const bool three_d = ref.sheets.has_value();
        const std::uint16_t ixti =
            three_d ? scope_.ExternSheet(ref.book, ref.sheets->first, ref.sheets->second) : 0;
        if (ref.error) {
            out_.U8(Token(kRefErr3d, cls)).U16(ixti).U32(0).U16(0);
            return;
        }
        if (!ref.area) {
            const RefPart cell = Shifted(ref.first);
            out_.U8(Token(three_d ? kRef3d : kRef, cls));
            if (three_d) {
                out_.U16(ixti);
            }
            Loc(cell, true);
            Loc(cell, false);
            return;
        }
        RefPart first = Shifted(ref.first);
        RefPart last = Shifted(ref.last);
        out_.U8(Token(three_d ? kArea3d : kArea, cls));
        if (three_d) {
            out_.U16(ixti);
        }
        Loc(first, true);
        Loc(last, true);
        Loc(first, false);
        Loc(last, false);
    }

    Cls operand_;
    FormulaScope& scope_;
    FormulaShift shift_;
    Body out_;
    bool volatile_ = false;
};

}  // namespace

EncodedFormula EncodeFormula(std::string_view text, FormulaKind kind, FormulaScope& scope,
                             int sheet, FormulaShift shift) {
    if (text.starts_with("=")) {
        text.remove_prefix(1);
    }
    Parser parser(Lexer(text, scope).Run(), scope, sheet);
    const NodePtr root = parser.Run(kind == FormulaKind::kName);
    Emitter emitter(kind, scope, shift);
    const Cls root_class = kind == FormulaKind::kName    ? Cls::kRef
                           : kind == FormulaKind::kArray ? Cls::kArray
                                                         : Cls::kValue;
    emitter.Emit(*root, root_class);
    EncodedFormula out = emitter.Take();
    if (out.rgce.size() > 0xFFFF) {
        throw UnencodableFormula("a formula longer than the format allows");
    }
    return out;
}

EncodedFormula ExpReference(std::int32_t anchor_row, std::int32_t anchor_col) {
    Body tokens;
    tokens.U8(kExp).U32(static_cast<std::uint32_t>(anchor_row));
    Body extra;
    extra.U32(static_cast<std::uint32_t>(anchor_col));
    return {tokens.Bytes(), extra.Bytes()};
}

void AppendParsedFormula(Body& body, const EncodedFormula& formula) {
    body.U32(static_cast<std::uint32_t>(formula.rgce.size()))
        .Raw(formula.rgce)
        .U32(static_cast<std::uint32_t>(formula.rgcb.size()))
        .Raw(formula.rgcb);
}

}  // namespace tabrook::calcserver::xlsb
