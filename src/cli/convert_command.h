#pragma once
// tabrook-convert from its arguments to its exit status: 0 every workbook converted (or
// skipped), 1 some failed or the run could not start, 2 bad usage.

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/conversion_run.h"

namespace tabrook::cli {

inline constexpr int kExitAllConverted = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitUsage = 2;

// `in` serves --files-from -; `inFlight` is kept up to date for an interrupt's clean-up.
int RunConvertCommand(const std::vector<std::string>& arguments, TargetsInFlight& inFlight,
                      std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace tabrook::cli
