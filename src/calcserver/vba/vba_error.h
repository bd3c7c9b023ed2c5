#pragma once
// The one failure the VBA carrier reports: a plain description of what could not be done.

#include <stdexcept>

namespace tabrook::calcserver::vba {

class VbaError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace tabrook::calcserver::vba
