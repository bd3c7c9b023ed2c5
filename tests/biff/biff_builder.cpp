#include "biff/biff_builder.h"

#include <cstring>
#include <stdexcept>

#include "vba/compound_fixture.h"

namespace tabrook::testing::biff {

namespace {

// UTF-8 to UTF-16 code units; the tests only feed it well-formed text.
std::vector<std::uint16_t> Utf16(std::string_view utf8) {
    std::vector<std::uint16_t> units;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        std::uint32_t cp = lead & (0xFFu >> (length == 1 ? 0 : length + 1));
        for (std::size_t k = 1; k < length; ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
        }
        i += length;
        if (cp >= 0x10000) {
            units.push_back(static_cast<std::uint16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            cp = 0xDC00 + (cp & 0x3FF);
        }
        units.push_back(static_cast<std::uint16_t>(cp));
    }
    return units;
}

}  // namespace

Bytes operator+(Bytes first, const Bytes& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

Bytes Le16(std::uint16_t value) {
    return {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)};
}

Bytes Le32(std::uint32_t value) {
    return Le16(static_cast<std::uint16_t>(value & 0xFFFF)) +
           Le16(static_cast<std::uint16_t>(value >> 16));
}

Bytes LeDouble(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return Le32(static_cast<std::uint32_t>(bits & 0xFFFFFFFFu)) +
           Le32(static_cast<std::uint32_t>(bits >> 32));
}

Bytes Record(std::uint16_t id, const Bytes& body) {
    return Le16(id) + Le16(static_cast<std::uint16_t>(body.size())) + body;
}

Bytes UnicodeString(std::string_view utf8) {
    const auto units = Utf16(utf8);
    bool wide = false;
    for (const auto unit : units) {
        wide = wide || unit > 0xFF;
    }
    Bytes body =
        Le16(static_cast<std::uint16_t>(units.size())) + Bytes{static_cast<std::uint8_t>(wide)};
    for (const auto unit : units) {
        body = body + (wide ? Le16(unit) : Bytes{static_cast<std::uint8_t>(unit)});
    }
    return body;
}

Bytes Bof(std::uint16_t substreamType, std::uint16_t version) {
    return Record(0x0809, Le16(version) + Le16(substreamType) + Le16(0x0DBB) + Le16(0x07CC) +
                              Le32(0) + Le32(0x0206));
}

Bytes Eof() {
    return Record(0x000A, {});
}

Bytes CodeName(std::string_view name) {
    return Record(0x01BA, UnicodeString(name));
}

Bytes Dimensions(std::uint16_t rows, std::uint16_t columns) {
    return Record(0x0200, Le32(0) + Le32(rows) + Le16(0) + Le16(columns) + Le16(0));
}

Bytes SharedStringTable(const std::vector<std::string>& strings) {
    Bytes body = Le32(static_cast<std::uint32_t>(strings.size())) +
                 Le32(static_cast<std::uint32_t>(strings.size()));
    for (const auto& text : strings) {
        body = body + UnicodeString(text);
    }
    return Record(0x00FC, body);
}

Bytes CellRecord(std::uint16_t id, std::uint16_t row, std::uint16_t column, const Bytes& payload) {
    return Record(id, Le16(row) + Le16(column) + Le16(0) + payload);
}

Bytes Number(std::uint16_t row, std::uint16_t column, double value) {
    return CellRecord(0x0203, row, column, LeDouble(value));
}

Bytes BoolErr(std::uint16_t row, std::uint16_t column, std::uint8_t value, bool isError) {
    return CellRecord(0x0205, row, column, {value, isError ? std::uint8_t{1} : std::uint8_t{0}});
}

Bytes Formula(std::uint16_t row, std::uint16_t column, const Bytes& result, const Bytes& tokens) {
    return CellRecord(
        0x0006, row, column,
        result + Le16(0) + Le32(0) + Le16(static_cast<std::uint16_t>(tokens.size())) + tokens);
}

Bytes NonNumberResult(std::uint8_t kind, std::uint8_t value) {
    return Bytes{kind, 0, value, 0, 0, 0, 0xFF, 0xFF};
}

Bytes StringResult(std::string_view text) {
    return Record(0x0207, UnicodeString(text));
}

Bytes WorkbookStream(const std::vector<Bytes>& globals, const std::vector<SheetSource>& sheets) {
    Bytes head = Bof(0x0005);
    for (const auto& record : globals) {
        head = head + record;
    }
    // A BOUNDSHEET8 is 12 bytes plus the name's characters.
    std::size_t position = head.size() + Eof().size();
    for (const auto& sheet : sheets) {
        position += 12 + UnicodeString(sheet.name).size() - 3;
    }
    Bytes substreams;
    for (const auto& sheet : sheets) {
        const Bytes name = UnicodeString(sheet.name);  // its count shrinks to 8 bits here
        head =
            head + Record(0x0085, Le32(static_cast<std::uint32_t>(position + substreams.size())) +
                                      Bytes{sheet.state, sheet.type, name[0]} +
                                      Bytes(name.begin() + 2, name.end()));
        substreams = substreams + Bof(sheet.type == 2 ? 0x0020 : 0x0010);
        for (const auto& record : sheet.records) {
            substreams = substreams + record;
        }
        substreams = substreams + Eof();
    }
    return head + Eof() + substreams;
}

void WriteCompoundFile(const std::filesystem::path& file, const Bytes& stream,
                       const char* streamName) {
    calcserver::vba::testing::WriteCompoundFile(
        file,
        {calcserver::vba::testing::Stream(streamName, std::string(stream.begin(), stream.end()))});
}

}  // namespace tabrook::testing::biff
