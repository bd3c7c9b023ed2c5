#include "calcserver/xlsb/formula_encoder.h"

#include <cmath>
#include <optional>
#include <string>

#include "calcserver/xlsb/cell_ref.h"
#include "calcserver/xlsb/formula_syntax.h"
#include "calcserver/xlsb/function_table.h"

namespace tabrook::calcserver::xlsb {
namespace {

using formula::Node;
using formula::NodePtr;
using formula::Ref;
using formula::RefPart;

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

class Emitter {
  public:
    Emitter(FormulaKind kind, FormulaScope& scope, FormulaShift shift,
            std::optional<RuleBase> ruleBase = std::nullopt)
        : operand_(kind == FormulaKind::kArray ? Cls::kArray : Cls::kValue),
          scope_(scope),
          shift_(shift),
          ruleBase_(ruleBase) {}

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
                out_.U8(Token(kName, cls)).U32(node.nameIndex);
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
        const bool referenceOp = ptg == kIsect || ptg == kUnion || ptg == kRange;
        const Cls operands = referenceOp ? Cls::kRef : operand_;
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
        if (part.rowRel) {
            part.row += shift_.rows;
        }
        if (part.colRel) {
            part.col += shift_.cols;
        }
        if (part.row < 0 || part.row > kMaxRow || part.col < 0 || part.col > kMaxCol) {
            throw UnencodableFormula("a shared formula that moves a reference off the sheet");
        }
        return part;
    }

    // A relative part of a rule's 3-D reference, as its offset from the rule's first cell.
    RefPart Placed(RefPart part, bool threeD) const {
        if (threeD && ruleBase_) {
            part.row -= part.rowRel ? ruleBase_->row : 0;
            part.col -= part.colRel ? ruleBase_->col : 0;
        }
        return part;
    }

    void Loc(const RefPart& part, bool rowField) {
        if (rowField) {
            out_.U32(static_cast<std::uint32_t>(part.row));
            return;
        }
        // An offset may be negative: 14 bits of two's complement.
        auto col = static_cast<std::uint16_t>(static_cast<std::uint32_t>(part.col) & 0x3FFF);
        // Bit 14 marks a relative column, bit 15 a relative row.
        if (part.colRel) {
            col |= 0x4000;
        }
        if (part.rowRel) {
            col |= 0x8000;
        }
        out_.U16(col);
    }

    void EmitRef(const Ref& ref, Cls cls) {
        const bool threeD = ref.sheets.has_value();
        const std::uint16_t ixti =
            threeD ? scope_.ExternSheet(ref.book, ref.sheets->first, ref.sheets->second) : 0;
        if (ref.error) {
            out_.U8(Token(kRefErr3d, cls)).U16(ixti).U32(0).U16(0);
            return;
        }
        if (!ref.area) {
            const RefPart cell = Placed(Shifted(ref.first), threeD);
            out_.U8(Token(threeD ? kRef3d : kRef, cls));
            if (threeD) {
                out_.U16(ixti);
            }
            Loc(cell, true);
            Loc(cell, false);
            return;
        }
        RefPart first = Placed(Shifted(ref.first), threeD);
        RefPart last = Placed(Shifted(ref.last), threeD);
        out_.U8(Token(threeD ? kArea3d : kArea, cls));
        if (threeD) {
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
    std::optional<RuleBase> ruleBase_;
    Body out_;
    bool volatile_ = false;
};

}  // namespace

namespace {

EncodedFormula Encode(std::string_view text, FormulaKind kind, FormulaScope& scope, int sheet,
                      FormulaShift shift, std::optional<RuleBase> ruleBase) {
    if (text.starts_with("=")) {
        text.remove_prefix(1);
    }
    const NodePtr root =
        formula::Parse(formula::Tokenize(text, scope), scope, sheet, kind == FormulaKind::kName);
    Emitter emitter(kind, scope, shift, ruleBase);
    const Cls rootClass = kind == FormulaKind::kName    ? Cls::kRef
                          : kind == FormulaKind::kArray ? Cls::kArray
                                                        : Cls::kValue;
    emitter.Emit(*root, rootClass);
    EncodedFormula out = emitter.Take();
    if (out.rgce.size() > 0xFFFF) {
        throw UnencodableFormula("a formula longer than the format allows");
    }
    return out;
}

}  // namespace

EncodedFormula EncodeFormula(std::string_view text, FormulaKind kind, FormulaScope& scope,
                             int sheet, FormulaShift shift) {
    return Encode(text, kind, scope, sheet, shift, std::nullopt);
}

EncodedFormula EncodeRuleFormula(std::string_view text, FormulaKind kind, FormulaScope& scope,
                                 int sheet, RuleBase base) {
    return Encode(text, kind, scope, sheet, {}, base);
}

EncodedFormula ExpReference(std::int32_t anchorRow, std::int32_t anchorCol) {
    Body tokens;
    tokens.U8(kExp).U32(static_cast<std::uint32_t>(anchorRow));
    Body extra;
    extra.U32(static_cast<std::uint32_t>(anchorCol));
    return {tokens.Bytes(), extra.Bytes()};
}

void AppendParsedFormula(Body& body, const EncodedFormula& formula) {
    body.U32(static_cast<std::uint32_t>(formula.rgce.size()))
        .Raw(formula.rgce)
        .U32(static_cast<std::uint32_t>(formula.rgcb.size()))
        .Raw(formula.rgcb);
}

}  // namespace tabrook::calcserver::xlsb
