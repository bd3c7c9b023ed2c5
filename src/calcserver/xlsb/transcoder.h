#pragma once
// The binary workbook (.xlsb) writer: transcodes the Office Open XML workbook that
// LibreOffice wrote into a binary workbook.

#include <filesystem>

#include "calcserver/xlsb/transcode_report.h"
#include "calcserver/xlsb/xlsb_error.h"

namespace tabrook::calcserver::xlsb {

// Reads `package` (.xlsx or .xlsm) and writes `target` (.xlsb). The target appears
// complete or not at all. Formulas without a token form keep their cached values and are
// listed in the report. Throws XlsbError with a plain description on anything it cannot
// do (unreadable package, chart sheets, a target that is the package itself, disk full).
TranscodeReport TranscodeToXlsb(const std::filesystem::path& package,
                                const std::filesystem::path& target);

}  // namespace tabrook::calcserver::xlsb
