#pragma once
// One worksheet part streamed from its XML into worksheet records in a temporary file:
// memory stays flat however many cells the sheet holds.

#include <filesystem>
#include <string>

namespace tabrook::calcserver::package {
class ZipReader;
}

namespace tabrook::calcserver::xlsb {

class WorkbookScope;
struct TranscodeReport;

struct SheetJob {
    std::string part;  // the worksheet XML inside the package
    std::string name;
    int index = 0;
    std::filesystem::path output;  // the records go here
};

// Throws XlsbError; formulas without a token form are written as values and reported.
void ConvertSheet(const package::ZipReader& zip, const SheetJob& job, WorkbookScope& scope,
                  TranscodeReport& report);

}  // namespace tabrook::calcserver::xlsb
