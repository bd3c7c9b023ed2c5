#pragma once
// The syntax of A1 formula text inside the formula encoder: tokens from the lexer and the
// tree the parser builds from them. Not for use outside the binary workbook writer.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "calcserver/xlsb/formula_encoder.h"
#include "calcserver/xlsb/function_table.h"

namespace tabrook::calcserver::xlsb::formula {

struct RefPart {
    std::int32_t row = 0;
    std::int32_t col = 0;
    bool rowRel = true;
    bool colRel = true;
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
    std::optional<int> nameSheet;  // "Sheet1!Name"
    bool spaceBefore = false;
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
    std::uint32_t nameIndex = 0;
    const FunctionInfo* function = nullptr;
    int depth = 1;  // levels of the tree from here down
    std::vector<std::unique_ptr<Node>> kids;
};
using NodePtr = std::unique_ptr<Node>;

// Splits formula text into tokens, resolving sheet names. Throws UnencodableFormula.
std::vector<Token> Tokenize(std::string_view text, const FormulaScope& scope);

// Builds the tree; `sheet` resolves sheet-level names, `union_ok` allows a top-level
// union (defined names). Throws UnencodableFormula.
NodePtr Parse(std::vector<Token> tokens, const FormulaScope& scope, int sheet, bool unionOk);

}  // namespace tabrook::calcserver::xlsb::formula
