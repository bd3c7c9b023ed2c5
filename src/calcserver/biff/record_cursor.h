#pragma once
// Walking the records of a BIFF stream and reading their fields, with every read checked
// against the record's bounds so that a damaged file ends in BiffError, never past memory.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace tabrook::calcserver::biff {

struct Record {
    std::uint16_t id = 0;
    std::span<const std::uint8_t> data;
    std::size_t offset = 0;  // of the record header within the stream
};

class RecordCursor {
  public:
    explicit RecordCursor(std::span<const std::uint8_t> stream, std::size_t offset = 0);

    // False at the exact end of the stream; throws BiffError when a record is cut off.
    bool Next(Record& record);
    // The id of the record Next() would return, or nothing at the end of the stream.
    bool PeekId(std::uint16_t& id) const;
    std::size_t Offset() const { return offset_; }

  private:
    std::span<const std::uint8_t> stream_;
    std::size_t offset_;
};

// Reads little-endian fields from one record, throwing BiffError past its end.
class FieldReader {
  public:
    explicit FieldReader(std::span<const std::uint8_t> data) : data_(data) {}

    std::uint8_t U8();
    std::uint16_t U16();
    std::uint32_t U32();
    double F64();
    std::span<const std::uint8_t> Bytes(std::size_t count);
    void Skip(std::size_t count);
    // Characters of a string held wholly in this record: Latin-1 or UTF-16LE.
    std::string Chars(std::size_t count, bool highByte);
    std::size_t Remaining() const { return data_.size() - pos_; }

  private:
    void Require(std::size_t count) const;
    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
};

// A record and the CONTINUE records after it read as one run of bytes. Characters of a
// string that cross into a CONTINUE record are preceded there by a fresh option byte that
// says whether they are compressed, so string reading is done here too.
class ContinuedReader {
  public:
    explicit ContinuedReader(std::vector<std::span<const std::uint8_t>> segments)
        : segments_(std::move(segments)) {}

    std::uint8_t U8();
    std::uint16_t U16();
    std::uint32_t U32();
    void Skip(std::size_t count);
    // An XLUnicodeString body after its character count: option byte, optional rich-text
    // and phonetic sizes, the characters, then the rich-text runs and phonetic block.
    std::string UnicodeStringBody(std::uint16_t charCount);
    bool AtEnd();

  private:
    bool AtSegmentEnd();
    std::vector<std::span<const std::uint8_t>> segments_;
    std::size_t segment_ = 0;
    std::size_t pos_ = 0;
};

}  // namespace tabrook::calcserver::biff
