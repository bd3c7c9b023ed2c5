#pragma once
// Turning the cell records of one worksheet substream into stored values.

#include <optional>
#include <string>
#include <vector>

#include "calcserver/biff/biff_workbook.h"
#include "calcserver/biff/record_cursor.h"

namespace tabrook::calcserver::biff {

class CellRecordReader {
  public:
    CellRecordReader(const std::vector<Text>& sharedStrings, std::map<CellAddress, Cell>& cells)
        : sharedStrings_(sharedStrings), cells_(cells) {}

    // Takes one record of the substream; `cursor` stands just after it, so that a STRING
    // record can gather the CONTINUE records that follow it.
    void Take(const Record& record, RecordCursor& cursor);

  private:
    void Put(CellAddress address, Cell cell);
    void TakeFormula(FieldReader& fields, CellAddress address);
    void TakeString(const Record& record, RecordCursor& cursor);

    const std::vector<Text>& sharedStrings_;
    std::map<CellAddress, Cell>& cells_;
    // A formula whose text result is in the STRING record that follows it.
    std::optional<CellAddress> awaitingString_;
};

// The value an RK field encodes: a 30-bit integer or the top of a double, maybe /100.
double DecodeRk(std::uint32_t rk);

// Gathers the CONTINUE records that follow the current position of `cursor`.
std::vector<std::span<const std::uint8_t>> WithContinues(const Record& first, RecordCursor& cursor);

}  // namespace tabrook::calcserver::biff
