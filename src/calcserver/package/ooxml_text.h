#pragma once
// Text as Office Open XML stores it in cells and shared strings: characters XML cannot
// carry are written as _xHHHH_, and a literal "_xHHHH_" gets its underscore escaped.

#include <optional>
#include <string>
#include <string_view>

namespace tabrook::calcserver::package {

std::string EncodeCellText(std::string_view text);
std::string DecodeCellText(std::string_view stored);

// A number as Office Open XML writes it ("0.5", "-1E-005", "+3"), read the same whatever the
// process locale says about decimal points; nullopt for anything else or a non-finite value.
std::optional<double> ParseXmlNumber(std::string_view text);

}  // namespace tabrook::calcserver::package
