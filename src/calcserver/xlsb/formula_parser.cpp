#include <algorithm>
#include <string>

#include "calcserver/input_limits.h"
#include "calcserver/xlsb/formula_syntax.h"

namespace tabrook::calcserver::xlsb::formula {
namespace {

NodePtr Make(Node::Kind kind) {
    auto node = std::make_unique<Node>();
    node->kind = kind;
    return node;
}

[[noreturn]] void Fail(const std::string& why) {
    throw UnencodableFormula(why);
}

// Hangs `kid` below `node`, refusing a tree deeper than its walks may recurse.
void Attach(Node& node, NodePtr kid) {
    if (kid->depth + 1 > kMaxFormulaTreeDepth) {
        Fail("a formula nested deeper than " + std::to_string(kMaxFormulaTreeDepth) + " levels");
    }
    node.depth = std::max(node.depth, kid->depth + 1);
    node.kids.push_back(std::move(kid));
}

class Parser {
  public:
    Parser(std::vector<Token> tokens, const FormulaScope& scope, int sheet)
        : tokens_(std::move(tokens)), scope_(scope), sheet_(sheet) {}

    // Defined names may be unions without parentheses ("Print_Titles": $A:$A,$1:$1).
    NodePtr Run(bool unionOk) {
        auto root = Comparison(unionOk);
        if (Peek().kind != Tok::kEnd) {
            Fail("unexpected text after the formula");
        }
        return root;
    }

  private:
    // Counts the levels of parentheses, function calls and signs the parser is inside.
    class NestingGuard {
      public:
        explicit NestingGuard(int& level) : level_(level) {
            if (++level_ > kMaxFormulaNesting) {
                Fail("a formula nested deeper than " + std::to_string(kMaxFormulaNesting) +
                     " levels");
            }
        }
        ~NestingGuard() { --level_; }
        NestingGuard(const NestingGuard&) = delete;
        NestingGuard& operator=(const NestingGuard&) = delete;

      private:
        int& level_;
    };

    const Token& Peek() const { return tokens_[at_]; }
    Token Take() { return tokens_[at_ < tokens_.size() - 1 ? at_++ : at_]; }
    bool PeekOp(std::string_view op) const { return Peek().kind == Tok::kOp && Peek().text == op; }

    static NodePtr Binary(std::string op, NodePtr left, NodePtr right) {
        auto node = Make(Node::kBinary);
        node->text = std::move(op);
        Attach(*node, std::move(left));
        Attach(*node, std::move(right));
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

    NodePtr Comparison(bool unionOk) {
        return LeftAssoc({"=", "<>", "<=", ">=", "<", ">"}, [&] { return Concat(unionOk); });
    }
    NodePtr Concat(bool unionOk) {
        return LeftAssoc({"&"}, [&] { return Additive(unionOk); });
    }
    NodePtr Additive(bool unionOk) {
        return LeftAssoc({"+", "-"}, [&] { return Multiplicative(unionOk); });
    }
    NodePtr Multiplicative(bool unionOk) {
        return LeftAssoc({"*", "/"}, [&] { return Power(unionOk); });
    }
    NodePtr Power(bool unionOk) {
        return LeftAssoc({"^"}, [&] { return Percent(unionOk); });
    }
    NodePtr Percent(bool unionOk) {
        NodePtr node = Unary(unionOk);
        while (PeekOp("%")) {
            Take();
            auto percent = Make(Node::kPercent);
            Attach(*percent, std::move(node));
            node = std::move(percent);
        }
        return node;
    }
    NodePtr Unary(bool unionOk) {
        if (PeekOp("-") || PeekOp("+")) {
            const NestingGuard nested(nesting_);
            auto node = Make(Node::kUnary);
            node->text = Take().text;
            Attach(*node, Unary(unionOk));
            return node;
        }
        return Union(unionOk);
    }
    NodePtr Union(bool unionOk) {
        NodePtr left = Intersection();
        while (unionOk && Peek().kind == Tok::kComma) {
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
        while (Peek().spaceBefore && StartsOperand(Peek())) {
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
                const auto index = scope_.NameIndex(t.text, t.nameSheet.value_or(sheet_));
                if (!index) {
                    Fail("the unknown name " + t.text);
                }
                auto node = Make(Node::kName);
                node->nameIndex = *index;
                return node;
            }
            case Tok::kOpen: {
                const NestingGuard nested(nesting_);
                auto node = Make(Node::kParen);
                Attach(*node, Comparison(true));
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
        const NestingGuard nested(nesting_);
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
                    Attach(*node, Make(Node::kMissing));
                } else {
                    Attach(*node, Comparison(false));
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
        if (count < info->minArgs || count > info->maxArgs) {
            Fail(name + " with " + std::to_string(count) + " arguments");
        }
        return node;
    }

    std::vector<Token> tokens_;
    const FormulaScope& scope_;
    int sheet_;
    std::size_t at_ = 0;
    int nesting_ = 0;
};

}  // namespace

NodePtr Parse(std::vector<Token> tokens, const FormulaScope& scope, int sheet, bool unionOk) {
    return Parser(std::move(tokens), scope, sheet).Run(unionOk);
}

}  // namespace tabrook::calcserver::xlsb::formula
