#pragma once
// The last step of a save: the office has written its result into a private folder; this
// puts it at the caller's target so that the target is either absent or complete. Further
// steps on the package (before it is placed) belong here too.

#include <cstdint>
#include <filesystem>
#include <string>

#include "calcserver/report/conversion_report.h"
#include "platform/automation.h"

namespace tabrook::calcserver::finish {

struct FinishRequest {
    std::filesystem::path source;        // the workbook as the caller opened it
    std::filesystem::path officeOutput;  // the package the office wrote
    std::int32_t formatCode = 0;         // the caller's FileFormat code
    std::filesystem::path target;        // where the caller asked the result to go
};

// The error 1004 of a save that cannot be done: "Tabrook cannot save 'TARGET': REASON".
platform::AutomationError SaveRefused(const std::filesystem::path& target,
                                      const std::string& reason);

// Refuses, before any work, a target that cannot be written: an empty name, a folder that
// is missing, is not a folder or cannot be written, a name that is a folder, the source
// workbook itself, or any other file already there (nothing is ever saved over). Throws
// platform::AutomationError 1004 naming the file or folder.
void CheckTarget(const std::filesystem::path& source, const std::filesystem::path& target);

// Checks that the office wrote a complete package, runs the finishing steps on it, checks
// the result as Excel would, then copies it to a temporary file in the target's folder and
// moves it to the target's name unless another file has taken that name meanwhile. Throws
// platform::AutomationError 1004 when the package is incomplete or faulty or the target
// cannot be written; nothing half-written remains either way. Returns what the steps
// changed or could not keep.
report::ConversionReport FinishPackage(const FinishRequest& request);

}  // namespace tabrook::calcserver::finish
