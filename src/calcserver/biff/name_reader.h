#pragma once
// Reading the name records of a BIFF8 stream's globals as the workbook reader meets them.

#include "calcserver/biff/name_records.h"
#include "calcserver/biff/record_cursor.h"

namespace tabrook::calcserver::biff {

// Takes one record of the globals (with its CONTINUE records from `cursor`); false when
// it is none of NAME, SUPBOOK, EXTERNNAME, EXTERNSHEET. A record cut short is counted in
// `names.damagedRecords`.
bool TakeGlobalNameRecord(const Record& record, RecordCursor& cursor, WorkbookNames& names);

}  // namespace tabrook::calcserver::biff
