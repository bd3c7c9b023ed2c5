#pragma once
// Time limits on the private office. Calls have no time-outs of their own, so each is
// bounded here; the defaults lie far beyond what any honest workbook needs.

#include <chrono>

namespace tabrook::calcserver::office {

struct OfficeLimits {
    std::chrono::milliseconds startup = std::chrono::seconds(30);  // start and connect
    std::chrono::milliseconds call = std::chrono::seconds(300);    // open, save, close
};

}  // namespace tabrook::calcserver::office
