#pragma once
// One workbook through a new "Excel.Application" instance: the automation calls that both
// the window and the command-line converter make, with no window in sight.

#include <cstdint>
#include <functional>
#include <string>

namespace tabrook::platform {
class AutomationRegistry;
}

namespace tabrook::convert {

enum class FileConversionResult {
    kDone,
    kServerError,       // the server refused: `errorNumber` > 0 and its description
    kTransportFailure,  // the server died, hung or broke the link; no Close or Quit was sent
};

struct FileConversion {
    FileConversionResult result = FileConversionResult::kTransportFailure;
    std::int32_t errorNumber = 0;
    std::string description;
    // With `wantReport`, after a save: the server's report text of what its finishing
    // steps changed; empty when the server keeps none (an application without the member).
    std::string reportText;
};

// Opens `sourcePath`, turns alerts off, saves it as `targetName` (extension included) with
// `fileFormat`, closes it and quits. After a positive error `onServerError` runs first (the
// window shows the description there, before the server is shut down), then the workbook
// and application are still sent Close and Quit; references are released on every path.
FileConversion ConvertFile(const platform::AutomationRegistry& automation,
                           const std::string& sourcePath, const std::string& targetName,
                           std::int32_t fileFormat, bool wantReport = false,
                           const std::function<void(const std::string&)>& onServerError = {});

}  // namespace tabrook::convert
