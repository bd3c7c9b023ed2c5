#pragma once
// One line of the --report file: a JSON object for one workbook. Lines of several runs or
// shards concatenate into one valid report (JSON Lines).

#include <string>

#include "cli/source_list.h"
#include "cli/workbook_outcome.h"

namespace tabrook::cli {

// {"source":…, "target":…, "result":"converted"|"failed"|"skipped", "error":N,
//  "message":…, "seconds":S, "counts":{…}, "changes":[{"step","what","where"}…],
//  "changesLeftOut":N}, without a line end. Paths that are not UTF-8 keep their valid
// parts; each other byte is written as the character of the same number.
std::string ReportLine(const SourceWorkbook& workbook, const WorkbookOutcome& outcome);

// A JSON string literal of `text`, quotes included.
std::string JsonString(const std::string& text);

const char* ResultName(Result result);

}  // namespace tabrook::cli
