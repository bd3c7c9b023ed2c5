#pragma once
// The compact 30-bit number form of the binary workbook format.

#include <cstdint>
#include <optional>

namespace tabrook::calcserver::xlsb {

// The RK form of value, or nothing when RK cannot hold it exactly.
std::optional<std::uint32_t> EncodeRk(double value);

// The value an RK number stands for (used to prove exactness).
double DecodeRk(std::uint32_t rk);

}  // namespace tabrook::calcserver::xlsb
