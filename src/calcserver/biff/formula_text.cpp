#include "calcserver/biff/formula_text.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <utility>

#include "calcserver/biff/biff_workbook.h"
#include "calcserver/biff/record_cursor.h"
#include "calcserver/input_limits.h"
#include "calcserver/xlsb/cell_ref.h"
#include "calcserver/xlsb/function_table.h"

namespace tabrook::calcserver::biff {

namespace {

// Thrown inside the decoder only; DecodeFormula turns it into FormulaText::error.
class Undecodable : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Binding strength of what an operand's text ends with at its top level: an operator that
// binds tighter than its operand's own top-level operator puts that operand in brackets.
enum Precedence : int {
    kComparison = 1,
    kConcat,
    kAdditive,
    kMultiplicative,
    kPower,
    kPercent,
    kUnary,
    kUnion,
    kIntersection,
    kRange,
    kAtom,
};

struct Operand {
    std::string text;
    int precedence = kAtom;
};

constexpr std::uint16_t kUserDefinedFunction = 255;
constexpr std::uint16_t kCommandEquivalent = 0x8000;
constexpr std::uint16_t kColumnMask = 0x3FFF;
constexpr std::uint16_t kColumnRelative = 0x4000;
constexpr std::uint16_t kRowRelative = 0x8000;
constexpr std::uint32_t kBiffRows = 65536;
constexpr std::uint32_t kBiffColumns = 256;

struct BinaryOperator {
    const char* text;
    int precedence;
};

std::optional<BinaryOperator> BinaryOperatorOf(std::uint8_t ptg) {
    switch (ptg) {
        case 0x03:
            return BinaryOperator{"+", kAdditive};
        case 0x04:
            return BinaryOperator{"-", kAdditive};
        case 0x05:
            return BinaryOperator{"*", kMultiplicative};
        case 0x06:
            return BinaryOperator{"/", kMultiplicative};
        case 0x07:
            return BinaryOperator{"^", kPower};
        case 0x08:
            return BinaryOperator{"&", kConcat};
        case 0x09:
            return BinaryOperator{"<", kComparison};
        case 0x0A:
            return BinaryOperator{"<=", kComparison};
        case 0x0B:
            return BinaryOperator{"=", kComparison};
        case 0x0C:
            return BinaryOperator{">=", kComparison};
        case 0x0D:
            return BinaryOperator{">", kComparison};
        case 0x0E:
            return BinaryOperator{"<>", kComparison};
        case 0x0F:
            return BinaryOperator{" ", kIntersection};
        case 0x10:
            return BinaryOperator{",", kUnion};
        case 0x11:
            return BinaryOperator{":", kRange};
        default:
            return std::nullopt;
    }
}

std::string Bracketed(const Operand& operand, int atLeast) {
    return operand.precedence >= atLeast ? operand.text : "(" + operand.text + ")";
}

std::string QuotedString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + "\"";
}

std::string NumberText(double value) {
    if (!std::isfinite(value)) {
        throw Undecodable("a number that is not finite");
    }
    char buffer[32];
    const auto [end, ec] = std::to_chars(std::begin(buffer), std::end(buffer), value);
    if (ec != std::errc()) {
        throw Undecodable("a number that cannot be written");
    }
    std::string text(buffer, end);
    for (char& c : text) {
        if (c == 'e') {
            c = 'E';
        }
    }
    return text;
}

std::string ErrorTextOf(std::uint8_t code) {
    std::string text = ErrorText(ErrorValue{code});
    if (text.empty()) {
        throw Undecodable("an unknown error code");
    }
    return text;
}

// One end of a cell reference, already resolved to a grid position.
struct CellEnd {
    std::uint32_t row = 0;
    std::uint16_t column = 0;
    bool rowRelative = false;
    bool columnRelative = false;
};

std::string ColumnText(const CellEnd& end) {
    std::string name = xlsb::CellName({0, static_cast<std::int32_t>(end.column)});
    name.pop_back();  // the row "1"
    return (end.columnRelative ? "" : "$") + name;
}

std::string RowText(const CellEnd& end) {
    return (end.rowRelative ? "" : "$") + std::to_string(end.row + 1);
}

std::string CellText(const CellEnd& end) {
    return ColumnText(end) + RowText(end);
}

// Whole columns and whole rows read as "$A:$B" and "$1:$3", as Excel writes them.
std::string AreaText(const CellEnd& first, const CellEnd& last) {
    if (first.row == 0 && last.row == kBiffRows - 1 && first.rowRelative == last.rowRelative) {
        return ColumnText(first) + ":" + ColumnText(last);
    }
    if (first.column == 0 && last.column == kBiffColumns - 1 &&
        first.columnRelative == last.columnRelative) {
        return RowText(first) + ":" + RowText(last);
    }
    return CellText(first) + ":" + CellText(last);
}

// Bytes of UTF-8 past ASCII count as letters: a sheet named in another script needs no
// quotes, as Excel writes it.
bool IsIdentifierStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}

bool IsIdentifierPart(unsigned char c) {
    return IsIdentifierStart(c) || (c >= '0' && c <= '9') || c == '.';
}

// Whether unquoted text would read as a cell ("A1", "XFD10") or an R1C1 reference.
bool ReadsAsReference(const std::string& name) {
    if (xlsb::ParseCellAddress(name)) {
        return true;
    }
    const char first = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    return (first == 'R' || first == 'C') &&
           name.find_first_not_of("RrCc0123456789") == std::string::npos;
}

bool IsPlainSheetName(const std::string& name) {
    bool plain = !name.empty() && IsIdentifierStart(static_cast<unsigned char>(name[0]));
    for (const char c : name) {
        plain = plain && IsIdentifierPart(static_cast<unsigned char>(c));
    }
    return plain && !ReadsAsReference(name);
}

std::string SingleQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c;
        if (c == '\'') {
            quoted += '\'';
        }
    }
    return quoted + "'";
}

// Sheet names cannot hold ':' or '[', so "[1]Jan:Dec" splits without doubt; the whole
// prefix is quoted when any sheet in it must be.
std::string SheetReferenceText(const std::string& name) {
    std::size_t sheets = 0;
    if (name.starts_with('[')) {
        sheets = name.find(']');
        sheets = sheets == std::string::npos ? 0 : sheets + 1;
    }
    const std::size_t colon = name.find(':', sheets);
    const std::string first =
        name.substr(sheets, colon == std::string::npos ? colon : colon - sheets);
    const std::string last = colon == std::string::npos ? first : name.substr(colon + 1);
    return IsPlainSheetName(first) && IsPlainSheetName(last) ? name : SingleQuoted(name);
}

class Decoder {
  public:
    Decoder(std::span<const std::uint8_t> rgce, const FormulaContext& context,
            std::span<const std::uint8_t> trailing)
        : tokens_(rgce), trailing_(trailing), context_(context) {}

    std::string Run() {
        while (tokens_.Remaining() > 0) {
            Token(tokens_.U8());
        }
        if (stack_.size() != 1) {
            throw Undecodable(stack_.empty() ? "no value" : "operands left without an operator");
        }
        return stack_.back().text;
    }

  private:
    void Push(std::string text, int precedence = kAtom) {
        if (stack_.size() >= static_cast<std::size_t>(kMaxFormulaTreeDepth)) {
            throw Undecodable("too many operands pending");
        }
        if (text.size() > kMaxFormulaTextLength) {
            throw Undecodable("the text would be longer than a formula can be");
        }
        stack_.push_back({std::move(text), precedence});
    }

    Operand Pop() {
        if (stack_.empty()) {
            throw Undecodable("an operator without its operand");
        }
        Operand top = std::move(stack_.back());
        stack_.pop_back();
        return top;
    }

    void Token(std::uint8_t ptg) {
        if (const auto op = BinaryOperatorOf(ptg)) {
            const Operand right = Pop();
            const Operand left = Pop();
            Push(Bracketed(left, op->precedence) + op->text + Bracketed(right, op->precedence + 1),
                 op->precedence);
            return;
        }
        switch (ptg) {
            case 0x12:
            case 0x13: {
                const Operand operand = Pop();
                Push((ptg == 0x12 ? "+" : "-") + Bracketed(operand, kUnary), kUnary);
                return;
            }
            case 0x14: {
                const Operand operand = Pop();
                Push(Bracketed(operand, kPercent) + "%", kPercent);
                return;
            }
            case 0x15: {
                const Operand operand = Pop();
                Push("(" + operand.text + ")");
                return;
            }
            case 0x16:
                Push("");
                return;
            case 0x17:
                Push(QuotedString(ShortString(tokens_)));
                return;
            case 0x19:
                Attribute();
                return;
            case 0x1C:
                Push(ErrorTextOf(tokens_.U8()));
                return;
            case 0x1D:
                Push(tokens_.U8() != 0 ? "TRUE" : "FALSE");
                return;
            case 0x1E:
                Push(std::to_string(tokens_.U16()));
                return;
            case 0x1F:
                Push(NumberText(tokens_.F64()));
                return;
            default:
                break;
        }
        if (ptg < 0x20) {
            throw Undecodable(ptg == 0x01 || ptg == 0x02
                                  ? "a shared or table formula's anchor, not a formula"
                                  : "an unsupported token 0x" + Hex(ptg));
        }
        Classified(static_cast<std::uint8_t>((ptg & 0x1F) | 0x20), ptg);
    }

    // Tokens that carry an operand class in bits 5-6; `base` is the reference-class id.
    void Classified(std::uint8_t base, std::uint8_t ptg) {
        switch (base) {
            case 0x20:
                tokens_.Skip(7);
                Push(ArrayConstant());
                return;
            case 0x21: {
                const std::uint16_t id = tokens_.U16();
                const xlsb::FunctionInfo* function = xlsb::FindFunctionById(id);
                if (function == nullptr || !function->FixedArity()) {
                    throw Undecodable("an unknown fixed-argument function " + std::to_string(id));
                }
                Call(*function, function->minArgs);
                return;
            }
            case 0x22: {
                const std::uint8_t count = tokens_.U8() & 0x7F;
                const std::uint16_t id = tokens_.U16();
                if ((id & kCommandEquivalent) != 0) {
                    throw Undecodable("a macro command");
                }
                if (id == kUserDefinedFunction) {
                    UserDefinedCall(count);
                    return;
                }
                const xlsb::FunctionInfo* function = xlsb::FindFunctionById(id);
                if (function == nullptr) {
                    throw Undecodable("an unknown function " + std::to_string(id));
                }
                Call(*function, count);
                return;
            }
            case 0x23:
                Push(NameAt(context_.definedNames, tokens_.U32(), "name"));
                return;
            case 0x24:
                Push(CellText(Absolute(ReadLocation())));
                return;
            case 0x25: {
                const std::uint16_t rowFirst = tokens_.U16();
                const std::uint16_t rowLast = tokens_.U16();
                const std::uint16_t columnFirst = tokens_.U16();
                const std::uint16_t columnLast = tokens_.U16();
                Push(AreaText(Absolute(rowFirst, columnFirst), Absolute(rowLast, columnLast)));
                return;
            }
            case 0x26:  // PtgMemArea: the area list it caches sits in the trailing data
                tokens_.Skip(6);
                SkipMemAreaData();
                return;
            case 0x27:  // PtgMemErr, PtgMemNoMem: the tokens that follow carry the reference
            case 0x28:
                tokens_.Skip(6);
                return;
            case 0x29:  // PtgMemFunc
                tokens_.Skip(2);
                return;
            case 0x2A:
                tokens_.Skip(4);
                Push("#REF!");
                return;
            case 0x2B:
                tokens_.Skip(8);
                Push("#REF!");
                return;
            case 0x2C:
                Push(CellText(Relative(ReadLocation())));
                return;
            case 0x2D: {
                const std::uint16_t rowFirst = tokens_.U16();
                const std::uint16_t rowLast = tokens_.U16();
                const std::uint16_t columnFirst = tokens_.U16();
                const std::uint16_t columnLast = tokens_.U16();
                Push(AreaText(Relative(rowFirst, columnFirst), Relative(rowLast, columnLast)));
                return;
            }
            case 0x39: {
                const std::uint16_t xti = tokens_.U16();
                const std::uint32_t index = tokens_.U32();
                if (xti >= context_.externNameBooks.size()) {
                    throw Undecodable("an external name through an unknown sheet entry");
                }
                const std::size_t book = context_.externNameBooks[xti];
                if (book == FormulaContext::kOwnNames) {
                    Push(NameAt(context_.definedNames, index, "name"));
                } else if (book < context_.externNames.size()) {
                    Push(NameAt(context_.externNames[book], index, "external name"));
                } else {
                    throw Undecodable("an external name in an unknown book");
                }
                return;
            }
            case 0x3A: {
                const std::string sheet = SheetPrefix(tokens_.U16());
                const CellEnd cell = Absolute(ReadLocation());
                Push(sheet.empty() ? "#REF!" : sheet + CellText(cell));
                return;
            }
            case 0x3B: {
                const std::string sheet = SheetPrefix(tokens_.U16());
                const std::uint16_t rowFirst = tokens_.U16();
                const std::uint16_t rowLast = tokens_.U16();
                const std::uint16_t columnFirst = tokens_.U16();
                const std::uint16_t columnLast = tokens_.U16();
                const std::string area =
                    AreaText(Absolute(rowFirst, columnFirst), Absolute(rowLast, columnLast));
                Push(sheet.empty() ? "#REF!" : sheet + area);
                return;
            }
            case 0x3C:
            case 0x3D: {
                const std::string sheet = SheetPrefix(tokens_.U16());
                tokens_.Skip(base == 0x3C ? 4 : 8);
                Push(sheet.empty() ? "#REF!" : sheet + "#REF!");
                return;
            }
            default:
                throw Undecodable("an unsupported token 0x" + Hex(ptg));
        }
    }

    void Attribute() {
        const std::uint8_t flags = tokens_.U8();
        const std::uint16_t data = tokens_.U16();
        if ((flags & 0x04) != 0) {  // choose: a jump table of data + 1 offsets follows
            tokens_.Skip((static_cast<std::size_t>(data) + 1) * 2);
        }
        if ((flags & 0x10) != 0) {  // SUM of one argument
            const Operand operand = Pop();
            Push("SUM(" + operand.text + ")");
        }
        // The others (volatile, if/goto jumps, spaces) change nothing in the text.
    }

    void Call(const xlsb::FunctionInfo& function, std::size_t count) {
        std::string arguments = Arguments(count);
        Push(std::string(function.name) + "(" + arguments + ")");
    }

    // A call through a name (an add-in or a macro sheet's function): the name is the first
    // operand and the arguments follow it.
    void UserDefinedCall(std::size_t count) {
        if (count == 0) {
            throw Undecodable("a user-defined call without its function");
        }
        std::string arguments = Arguments(count - 1);
        const Operand function = Pop();
        Push(function.text + "(" + arguments + ")");
    }

    std::string Arguments(std::size_t count) {
        if (count > stack_.size()) {
            throw Undecodable("a function with fewer operands than arguments");
        }
        std::string text;
        for (std::size_t i = stack_.size() - count; i < stack_.size(); ++i) {
            if (i != stack_.size() - count) {
                text += ',';
            }
            // A union as an argument needs brackets, or its comma would split the argument.
            text += Bracketed(stack_[i], kUnion + 1);
        }
        stack_.resize(stack_.size() - count);
        return text;
    }

    // Row then column, in the order the bytes hold them.
    std::pair<std::uint16_t, std::uint16_t> ReadLocation() {
        const std::uint16_t row = tokens_.U16();
        const std::uint16_t column = tokens_.U16();
        return {row, column};
    }

    CellEnd Absolute(std::pair<std::uint16_t, std::uint16_t> location) const {
        return Absolute(location.first, location.second);
    }
    CellEnd Relative(std::pair<std::uint16_t, std::uint16_t> location) const {
        return Relative(location.first, location.second);
    }

    CellEnd Absolute(std::uint16_t row, std::uint16_t column) const {
        const std::uint16_t index = column & kColumnMask;
        if (index >= kBiffColumns) {
            throw Undecodable("a column outside the sheet");
        }
        return {row, index, (column & kRowRelative) != 0, (column & kColumnRelative) != 0};
    }

    // Offsets from the base cell, wrapped around the sheet as Excel does.
    CellEnd Relative(std::uint16_t row, std::uint16_t column) const {
        CellEnd end{row, static_cast<std::uint16_t>(column & kColumnMask),
                    (column & kRowRelative) != 0, (column & kColumnRelative) != 0};
        if (end.rowRelative) {
            const auto offset = static_cast<std::int16_t>(row);
            end.row = static_cast<std::uint32_t>(
                (static_cast<std::int64_t>(context_.baseRow) + offset) & (kBiffRows - 1));
        }
        if (end.columnRelative) {
            // A 14-bit signed offset.
            const int offset = (end.column & 0x2000) != 0 ? end.column - 0x4000 : end.column;
            end.column = static_cast<std::uint16_t>((context_.baseColumn + offset) &
                                                    static_cast<int>(kBiffColumns - 1));
        } else if (end.column >= kBiffColumns) {
            throw Undecodable("a column outside the sheet");
        }
        return end;
    }

    // "Sheet1!" for a usable entry, "" for one that refers to nothing.
    std::string SheetPrefix(std::uint16_t xti) const {
        if (xti >= context_.externSheetNames.size()) {
            throw Undecodable("a reference through an unknown sheet entry " + std::to_string(xti));
        }
        const std::string& name = context_.externSheetNames[xti];
        return name.empty() ? std::string() : SheetReferenceText(name) + "!";
    }

    static std::string NameAt(const std::vector<std::string>& names, std::uint32_t oneBased,
                              const char* what) {
        if (oneBased == 0 || oneBased > names.size() || names[oneBased - 1].empty()) {
            throw Undecodable(std::string("an unknown ") + what + " " + std::to_string(oneBased));
        }
        return names[oneBased - 1];
    }

    static std::string ShortString(FieldReader& reader) {
        const std::uint8_t count = reader.U8();
        const bool highByte = (reader.U8() & 0x01) != 0;
        return reader.Chars(count, highByte);
    }

    // PtgExtraArray: columns - 1, rows - 1, then the values row by row.
    std::string ArrayConstant() {
        const std::size_t columns = static_cast<std::size_t>(trailing_.U8()) + 1;
        const std::size_t rows = static_cast<std::size_t>(trailing_.U16()) + 1;
        std::string text = "{";
        for (std::size_t row = 0; row < rows; ++row) {
            for (std::size_t column = 0; column < columns; ++column) {
                if (column > 0 || row > 0) {
                    text += column == 0 ? ';' : ',';
                }
                text += ArrayValue();
                if (text.size() > kMaxFormulaTextLength) {
                    throw Undecodable("the text would be longer than a formula can be");
                }
            }
        }
        return text + "}";
    }

    std::string ArrayValue() {
        const std::uint8_t type = trailing_.U8();
        switch (type) {
            case 0x00:
                trailing_.Skip(8);
                return "";
            case 0x01:
                return NumberText(trailing_.F64());
            case 0x02: {
                const std::uint16_t count = trailing_.U16();
                const bool highByte = (trailing_.U8() & 0x01) != 0;
                return QuotedString(trailing_.Chars(count, highByte));
            }
            case 0x04: {
                const bool value = trailing_.U8() != 0;
                trailing_.Skip(7);
                return value ? "TRUE" : "FALSE";
            }
            case 0x10: {
                const std::uint8_t code = trailing_.U8();
                trailing_.Skip(7);
                return ErrorTextOf(code);
            }
            default:
                throw Undecodable("an array value of unknown type");
        }
    }

    // PtgExtraMem: a count of 8-byte areas.
    void SkipMemAreaData() {
        const std::uint16_t count = trailing_.U16();
        trailing_.Skip(static_cast<std::size_t>(count) * 8);
    }

    static std::string Hex(std::uint8_t value) {
        const char* digits = "0123456789ABCDEF";
        return {digits[value >> 4], digits[value & 0x0F]};
    }

    FieldReader tokens_;
    FieldReader trailing_;
    const FormulaContext& context_;
    std::vector<Operand> stack_;
};

}  // namespace

std::string QuoteSheetName(const std::string& name) {
    return IsPlainSheetName(name) ? name : SingleQuoted(name);
}

FormulaText DecodeFormula(std::span<const std::uint8_t> rgce, const FormulaContext& context,
                          std::span<const std::uint8_t> trailing) {
    try {
        return {Decoder(rgce, context, trailing).Run(), {}};
    } catch (const Undecodable& why) {
        return {{}, why.what()};
    } catch (const BiffError& why) {
        return {{}, std::string("the formula is cut short: ") + why.what()};
    }
}

}  // namespace tabrook::calcserver::biff
