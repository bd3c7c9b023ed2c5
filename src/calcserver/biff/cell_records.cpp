#include "calcserver/biff/cell_records.h"

#include <cmath>
#include <cstring>

#include "calcserver/biff/record_ids.h"

namespace tabrook::calcserver::biff {

namespace ids = record_id;

namespace {

// A FORMULA result whose last two bytes are 0xFFFF is not a double: its first byte says
// what it is instead.
constexpr std::uint8_t kResultString = 0;
constexpr std::uint8_t kResultBoolean = 1;
constexpr std::uint8_t kResultError = 2;
constexpr std::uint8_t kResultEmptyString = 3;

CellAddress ReadAddress(FieldReader& fields) {
    const std::uint32_t row = fields.U16();
    const std::uint16_t column = fields.U16();
    return {row, column};
}

double LittleEndianDouble(std::span<const std::uint8_t> bytes) {
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) {
        bits = (bits << 8) | bytes[static_cast<std::size_t>(i)];
    }
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

Cell Constant(CellValue value) {
    return Cell{std::move(value), false, true};
}

}  // namespace

double DecodeRk(std::uint32_t rk) {
    double value = 0;
    if ((rk & 0x02) != 0) {
        value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 0x01) != 0 ? value / 100.0 : value;
}

std::vector<std::span<const std::uint8_t>> WithContinues(const Record& first,
                                                         RecordCursor& cursor) {
    std::vector<std::span<const std::uint8_t>> segments{first.data};
    std::uint16_t next = 0;
    Record more;
    while (cursor.PeekId(next) && next == ids::kContinue && cursor.Next(more)) {
        segments.push_back(more.data);
    }
    return segments;
}

void CellRecordReader::Put(CellAddress address, Cell cell) {
    // An error code Excel does not define says nothing we could keep either.
    if (const auto* error = std::get_if<ErrorValue>(&cell.value);
        error != nullptr && ErrorText(*error).empty()) {
        if (!cell.isFormula) {
            return;
        }
        cell.hasStoredResult = false;
    }
    if (const double* number = std::get_if<double>(&cell.value);
        number != nullptr && !std::isfinite(*number)) {
        // No spreadsheet value is infinite or NaN.
        if (!cell.isFormula) {
            return;
        }
        cell.hasStoredResult = false;
    }
    cells_[address] = std::move(cell);
}

void CellRecordReader::Take(const Record& record, RecordCursor& cursor) {
    if (record.id == ids::kString) {
        TakeString(record, cursor);
        return;
    }
    FieldReader fields(record.data);
    switch (record.id) {
        case ids::kNumber: {
            const CellAddress address = ReadAddress(fields);
            fields.Skip(2);
            Put(address, Constant(fields.F64()));
            break;
        }
        case ids::kRk: {
            const CellAddress address = ReadAddress(fields);
            fields.Skip(2);
            Put(address, Constant(DecodeRk(fields.U32())));
            break;
        }
        case ids::kMulRk: {
            const CellAddress first = ReadAddress(fields);
            // Each entry is an XF index and an RK value; the last column closes the record.
            std::uint16_t column = first.second;
            while (fields.Remaining() >= 6 + 2) {
                fields.Skip(2);
                Put({first.first, column}, Constant(DecodeRk(fields.U32())));
                ++column;
            }
            break;
        }
        case ids::kLabelSst: {
            const CellAddress address = ReadAddress(fields);
            fields.Skip(2);
            const std::uint32_t index = fields.U32();
            if (index < sharedStrings_.size()) {
                Put(address, Constant(sharedStrings_[index]));
            }
            break;
        }
        case ids::kLabel:
        case ids::kRString: {
            const CellAddress address = ReadAddress(fields);
            fields.Skip(2);
            const std::uint16_t count = fields.U16();
            const bool highByte = (fields.U8() & 0x01) != 0;
            Put(address, Constant(fields.Chars(count, highByte)));
            break;
        }
        case ids::kBoolErr: {
            const CellAddress address = ReadAddress(fields);
            fields.Skip(2);
            const std::uint8_t value = fields.U8();
            if (fields.U8() != 0) {
                Put(address, Constant(ErrorValue{value}));
            } else {
                Put(address, Constant(value != 0));
            }
            break;
        }
        case ids::kFormula: {
            const CellAddress address = ReadAddress(fields);
            fields.Skip(2);
            TakeFormula(fields, address);
            return;  // may now await its STRING record
        }
        case ids::kBlank:
        case ids::kMulBlank:
        case ids::kEof:
            break;
        default:
            // SHRFMLA, ARRAY, TABLE and everything else may stand between a FORMULA and its
            // STRING without ending the wait.
            return;
    }
    awaitingString_.reset();
}

void CellRecordReader::TakeFormula(FieldReader& fields, CellAddress address) {
    awaitingString_.reset();
    const auto result = fields.Bytes(8);
    Cell cell{std::string{}, true, true};
    if (result[6] != 0xFF || result[7] != 0xFF) {
        cell.value = LittleEndianDouble(result);
    } else {
        switch (result[0]) {
            case kResultString:
                cell.hasStoredResult = false;  // until its STRING record arrives
                awaitingString_ = address;
                break;
            case kResultBoolean:
                cell.value = result[2] != 0;
                break;
            case kResultError:
                cell.value = ErrorValue{result[2]};
                break;
            case kResultEmptyString:
                break;
            default:
                cell.hasStoredResult = false;
                break;
        }
    }
    Put(address, std::move(cell));
}

void CellRecordReader::TakeString(const Record& record, RecordCursor& cursor) {
    const auto segments = WithContinues(record, cursor);
    if (!awaitingString_) {
        return;
    }
    const CellAddress address = *awaitingString_;
    awaitingString_.reset();
    ContinuedReader reader(segments);
    const std::uint16_t count = reader.U16();
    Cell& cell = cells_[address];
    cell.value = reader.UnicodeStringBody(count);
    cell.hasStoredResult = true;
}

}  // namespace tabrook::calcserver::biff
