// The .xlsb writer's formula lexer, parser and encoder on formula text. The first byte
// picks the formula kind, the sheet it lives on and whether it shares another's anchor.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "calcserver/xlsb/formula_encoder.h"
#include "scratch_dir.h"

namespace xlsb = tabrook::calcserver::xlsb;

namespace {

class FixedScope : public xlsb::FormulaScope {
  public:
    std::optional<int> SheetIndex(int book, std::string_view name) const override {
        static const std::map<std::string_view, int> kSheets = {
            {"Sheet1", 0}, {"Sheet 2", 1}, {"O'Brien", 2}};
        if (book > 1) {
            return std::nullopt;
        }
        const auto found = kSheets.find(name);
        return found == kSheets.end() ? std::nullopt : std::optional<int>(found->second);
    }
    std::uint16_t ExternSheet(int book, int firstSheet, int lastSheet) override {
        const auto key = std::to_string(book) + ":" + std::to_string(firstSheet) + ":" +
                         std::to_string(lastSheet);
        return entries_.try_emplace(key, static_cast<std::uint16_t>(entries_.size())).first->second;
    }
    std::optional<std::uint32_t> NameIndex(std::string_view name, int sheet) const override {
        if (name == "Total") {
            return 1;
        }
        if (name == "Local" && sheet == 0) {
            return 2;
        }
        return std::nullopt;
    }

  private:
    std::map<std::string, std::uint16_t> entries_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t mode = data[0];
    const std::string_view text = tabrook::fuzz::AsText(data + 1, size - 1);
    static constexpr xlsb::FormulaKind kKinds[] = {
        xlsb::FormulaKind::kCell, xlsb::FormulaKind::kName, xlsb::FormulaKind::kArray};
    const xlsb::FormulaKind kind = kKinds[mode % 3];
    const int sheet = (mode >> 2) % 2 == 0 ? 0 : -1;
    const xlsb::FormulaShift shift =
        (mode & 0x80) != 0 ? xlsb::FormulaShift{1000000, -16000} : xlsb::FormulaShift{};
    FixedScope scope;
    try {
        const xlsb::EncodedFormula encoded = xlsb::EncodeFormula(text, kind, scope, sheet, shift);
        xlsb::Body body;
        xlsb::AppendParsedFormula(body, encoded);
    } catch (const xlsb::UnencodableFormula&) {
        // Kept as its cached value: the right answer to text without a token form.
    }
    return 0;
}
