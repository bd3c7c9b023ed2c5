#pragma once
// The one failure type of the binary workbook writer: a plain description for the user.

#include <stdexcept>

namespace tabrook::calcserver::xlsb {

class XlsbError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace tabrook::calcserver::xlsb
