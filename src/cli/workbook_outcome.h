#pragma once
// What became of one workbook of a run.

#include <cstdint>
#include <string>

namespace tabrook::cli {

enum class Result { kConverted, kFailed, kSkipped };

struct WorkbookOutcome {
    Result result = Result::kFailed;
    std::string target;            // the result's full name; empty when none was chosen
    std::int32_t errorNumber = 0;  // the server's error number when it failed
    std::string message;           // why it failed or was skipped
    double seconds = 0;
    std::string reportText;  // the server's report of what its finishing steps changed
};

}  // namespace tabrook::cli
