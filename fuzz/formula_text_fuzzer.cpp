// The .xls formula decoder on raw tokens. The first two bytes give how many of the rest
// are tokens; what follows them is the trailing data of arrays and cached areas.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "calcserver/biff/formula_text.h"

namespace biff = tabrook::calcserver::biff;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    static const biff::FormulaContext kContext = [] {
        biff::FormulaContext context;
        context.externSheetNames = {"Sheet1", "", "Jan:Dec", "[1]O'Brien"};
        context.definedNames = {"Rate", "_xlnm.Print_Area", ""};
        context.externNames = {{}, {"[1]!Total"}, {"UDF"}};
        context.externNameBooks = {biff::FormulaContext::kOwnNames, 0, 1, 2, 7};
        context.baseRow = 65535;
        context.baseColumn = 255;
        return context;
    }();
    const std::span<const std::uint8_t> input(data + 2, size - 2);
    const std::size_t tokens = std::min<std::size_t>(data[0] | (data[1] << 8), input.size());
    const biff::FormulaText decoded =
        biff::DecodeFormula(input.first(tokens), kContext, input.subspan(tokens));
    // A refusal never comes with text.
    if (!decoded.error.empty() && !decoded.text.empty()) {
        __builtin_trap();
    }
    return 0;
}
