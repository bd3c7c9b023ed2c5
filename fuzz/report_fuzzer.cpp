// The report text the finishing process hands back: parsed, and when accepted, written
// again and parsed to the same report, within its bounds.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "calcserver/report/conversion_report.h"

using tabrook::calcserver::report::ConversionReport;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parsed =
        ConversionReport::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!parsed) {
        return 0;
    }
    if (parsed->Items().size() > ConversionReport::kMaxItems ||
        ConversionReport::Parse(parsed->Serialize()) != parsed) {
        std::abort();
    }
    return 0;
}
