#pragma once
// Text as Office Open XML stores it in cells and shared strings: characters XML cannot
// carry are written as _xHHHH_, and a literal "_xHHHH_" gets its underscore escaped.

#include <string>
#include <string_view>

namespace tabrook::calcserver::package {

std::string EncodeCellText(std::string_view text);
std::string DecodeCellText(std::string_view stored);

}  // namespace tabrook::calcserver::package
