#include "calcserver/xlsb/rk_number.h"

#include <bit>
#include <cmath>

namespace tabrook::calcserver::xlsb {
namespace {

constexpr std::uint32_t kTimes100 = 0x1;
constexpr std::uint32_t kInteger = 0x2;
constexpr std::int64_t kIntMin = -(std::int64_t{1} << 29);
constexpr std::int64_t kIntMax = (std::int64_t{1} << 29) - 1;

std::optional<std::uint32_t> AsInteger(double value, std::uint32_t flags) {
    if (!(std::fabs(value) <= static_cast<double>(kIntMax + 1)) || std::trunc(value) != value) {
        return std::nullopt;
    }
    const auto whole = static_cast<std::int64_t>(value);
    if (whole < kIntMin || whole > kIntMax) {
        return std::nullopt;
    }
    return (static_cast<std::uint32_t>(whole) << 2) | kInteger | flags;
}

std::optional<std::uint32_t> AsTruncatedDouble(double value, std::uint32_t flags) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    if ((bits & 0x3FFFFFFFFull) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(bits >> 32) | flags;
}

}  // namespace

double DecodeRk(std::uint32_t rk) {
    double value = 0;
    if ((rk & kInteger) != 0) {
        value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        value = std::bit_cast<double>(static_cast<std::uint64_t>(rk & ~0x3u) << 32);
    }
    return (rk & kTimes100) != 0 ? value / 100 : value;
}

std::optional<std::uint32_t> EncodeRk(double value) {
    if (std::isnan(value) || std::isinf(value)) {
        return std::nullopt;
    }
    // -0.0 would come back as 0 through the integer form; keep it as a full number.
    if (value == 0 && std::signbit(value)) {
        return std::nullopt;
    }
    const auto exact = [value](std::optional<std::uint32_t> rk) {
        return rk && DecodeRk(*rk) == value ? rk : std::nullopt;
    };
    if (auto rk = exact(AsInteger(value, 0))) {
        return rk;
    }
    if (auto rk = exact(AsTruncatedDouble(value, 0))) {
        return rk;
    }
    const double hundred = value * 100;
    if (auto rk = exact(AsInteger(std::round(hundred), kTimes100))) {
        return rk;
    }
    return exact(AsTruncatedDouble(hundred, kTimes100));
}

}  // namespace tabrook::calcserver::xlsb
