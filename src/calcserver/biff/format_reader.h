#pragma once
// Reading the formatting records of a BIFF8 stream as the workbook reader meets them.

#include "calcserver/biff/format_records.h"
#include "calcserver/biff/record_cursor.h"

namespace tabrook::calcserver::biff {

// Takes one record of the globals; false when it is not a formatting record. A record cut
// short is counted in `formats.damagedRecords` and left out.
bool TakeGlobalFormatRecord(const Record& record, WorkbookFormats& formats);
// Takes one record of a worksheet substream; false when the record is not a formatting
// record only (a cell record gives its XF and is still to be read for its value).
bool TakeSheetFormatRecord(const Record& record, SheetFormats& formats);

}  // namespace tabrook::calcserver::biff
