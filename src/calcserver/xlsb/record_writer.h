#pragma once
// Binary workbook records: a little-endian body builder and a sink that frames each body
// with its variable-length type and size header.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

namespace tabrook::calcserver::xlsb {

// UTF-8 to UTF-16; malformed bytes become U+FFFD so that no input ever stops the writer.
std::u16string Utf16FromUtf8(std::string_view utf8);

class Body {
  public:
    Body& U8(std::uint8_t value);
    Body& U16(std::uint16_t value);
    Body& U32(std::uint32_t value);
    Body& I32(std::int32_t value) { return U32(static_cast<std::uint32_t>(value)); }
    Body& F64(double value);
    Body& Raw(std::string_view bytes);
    // A string with a 32-bit count of UTF-16 code units.
    Body& WideString(std::string_view utf8);
    // As WideString, but absent is written as the count 0xFFFFFFFF.
    Body& NullableWideString(const std::optional<std::string>& utf8);
    // UTF-16 code units without any count.
    Body& Utf16(std::u16string_view text);

    const std::string& Bytes() const { return bytes_; }
    std::size_t Size() const { return bytes_.size(); }

  private:
    std::string bytes_;
};

// The header of one record. Throws XlsbError when type or size is out of range.
std::string RecordHeader(std::uint32_t type, std::size_t size);

// Collects records in memory, or streams them into a file so that big parts never sit
// whole in memory.
class RecordSink {
  public:
    RecordSink() = default;
    explicit RecordSink(const std::filesystem::path& file);

    void Write(std::uint16_t type, const Body& body);
    void Write(std::uint16_t type);
    // Records framed by another sink, copied as they are.
    void WriteFramed(std::string_view records) { Append(records); }
    // Memory mode: everything written so far.
    std::string TakeBytes();
    // File mode: flushes and closes; throws XlsbError when the disk refused the data.
    void Finish();

  private:
    void Append(std::string_view bytes);

    std::string buffer_;
    std::optional<std::ofstream> file_;
    std::filesystem::path path_;
};

}  // namespace tabrook::calcserver::xlsb
