#pragma once
// The built-in worksheet functions a formula token can call: their numbers in the
// binary workbook function table, how many arguments they take, and the operand class
// each argument expects.

#include <cstdint>
#include <string_view>

namespace tabrook::calcserver::xlsb {

struct FunctionInfo {
    std::string_view name;
    std::uint16_t id;
    std::uint8_t minArgs;
    std::uint8_t maxArgs;
    // 'V' value, 'R' reference, 'A' array.
    char returns;
    // One class letter per argument; the last letter repeats for further arguments.
    std::string_view params;

    bool FixedArity() const { return minArgs == maxArgs; }
    char ParamClass(int index) const;
};

// The function by name (upper or lower case, with or without the "_xlfn." prefix that
// newer functions carry in Office Open XML), or nullptr when the table lacks it.
const FunctionInfo* FindFunction(std::string_view name);
// The function by its number in the table (the same numbers in .xls and .xlsb formulas),
// or nullptr when the table lacks it.
const FunctionInfo* FindFunctionById(std::uint16_t id);

}  // namespace tabrook::calcserver::xlsb
