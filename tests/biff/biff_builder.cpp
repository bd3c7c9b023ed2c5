#include "biff/biff_builder.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>

#include <cstring>
#include <stdexcept>

namespace tabrook::testing::biff {

namespace {

// UTF-8 to UTF-16 code units; the tests only feed it well-formed text.
std::vector<std::uint16_t> Utf16(std::string_view utf8) {
    std::vector<std::uint16_t> units;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        std::uint32_t cp = length == 1   ? lead
                           : length == 2 ? lead & 0x1Fu
                           : length == 3 ? lead & 0x0Fu
                                         : lead & 0x07u;
        for (int k = 1; k < length; ++k) {
            cp = (cp << 6) |
                 (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3Fu);
        }
        i += static_cast<std::size_t>(length);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            units.push_back(static_cast<std::uint16_t>(0xD800 + (cp >> 10)));
            units.push_back(static_cast<std::uint16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            units.push_back(static_cast<std::uint16_t>(cp));
        }
    }
    return units;
}

Bytes CellHeader(std::uint16_t row, std::uint16_t column) {
    Bytes body;
    Put16(body, row);
    Put16(body, column);
    Put16(body, 0);  // XF index
    return body;
}

}  // namespace

void Append(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
}

void Put16(Bytes& to, std::uint16_t value) {
    to.push_back(static_cast<std::uint8_t>(value & 0xFF));
    to.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(Bytes& to, std::uint32_t value) {
    Put16(to, static_cast<std::uint16_t>(value & 0xFFFF));
    Put16(to, static_cast<std::uint16_t>(value >> 16));
}

void PutDouble(Bytes& to, double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    Put32(to, static_cast<std::uint32_t>(bits & 0xFFFFFFFFu));
    Put32(to, static_cast<std::uint32_t>(bits >> 32));
}

Bytes Record(std::uint16_t id, const Bytes& body) {
    Bytes record;
    Put16(record, id);
    Put16(record, static_cast<std::uint16_t>(body.size()));
    Append(record, body);
    return record;
}

Bytes EncodeChars(std::string_view utf8, bool& highByte, std::uint16_t& count) {
    const auto units = Utf16(utf8);
    count = static_cast<std::uint16_t>(units.size());
    highByte = false;
    for (const auto unit : units) {
        highByte = highByte || unit > 0xFF;
    }
    Bytes chars;
    for (const auto unit : units) {
        if (highByte) {
            Put16(chars, unit);
        } else {
            chars.push_back(static_cast<std::uint8_t>(unit));
        }
    }
    return chars;
}

Bytes UnicodeString(std::string_view utf8) {
    bool highByte = false;
    std::uint16_t count = 0;
    const Bytes chars = EncodeChars(utf8, highByte, count);
    Bytes body;
    Put16(body, count);
    body.push_back(highByte ? 1 : 0);
    Append(body, chars);
    return body;
}

Bytes Bof(std::uint16_t substreamType, std::uint16_t version) {
    Bytes body;
    Put16(body, version);
    Put16(body, substreamType);
    Put16(body, 0x0DBB);  // build
    Put16(body, 0x07CC);  // year
    Put32(body, 0);
    Put32(body, 0x0206);
    return Record(0x0809, body);
}

Bytes Eof() {
    return Record(0x000A, {});
}

Bytes CodeName(std::string_view name) {
    return Record(0x01BA, UnicodeString(name));
}

Bytes Dimensions(std::uint16_t rows, std::uint16_t columns) {
    Bytes body;
    Put32(body, 0);
    Put32(body, rows);
    Put16(body, 0);
    Put16(body, columns);
    Put16(body, 0);
    return Record(0x0200, body);
}

Bytes SharedStringTable(const std::vector<std::string>& strings) {
    Bytes body;
    Put32(body, static_cast<std::uint32_t>(strings.size()));
    Put32(body, static_cast<std::uint32_t>(strings.size()));
    for (const auto& text : strings) {
        Append(body, UnicodeString(text));
    }
    return Record(0x00FC, body);
}

Bytes Number(std::uint16_t row, std::uint16_t column, double value) {
    Bytes body = CellHeader(row, column);
    PutDouble(body, value);
    return Record(0x0203, body);
}

Bytes Rk(std::uint16_t row, std::uint16_t column, std::uint32_t rk) {
    Bytes body = CellHeader(row, column);
    Put32(body, rk);
    return Record(0x027E, body);
}

Bytes MulRk(std::uint16_t row, std::uint16_t firstColumn, const std::vector<std::uint32_t>& rks) {
    Bytes body;
    Put16(body, row);
    Put16(body, firstColumn);
    for (const auto rk : rks) {
        Put16(body, 0);
        Put32(body, rk);
    }
    Put16(body, static_cast<std::uint16_t>(firstColumn + rks.size() - 1));
    return Record(0x00BD, body);
}

Bytes LabelSst(std::uint16_t row, std::uint16_t column, std::uint32_t index) {
    Bytes body = CellHeader(row, column);
    Put32(body, index);
    return Record(0x00FD, body);
}

Bytes Label(std::uint16_t row, std::uint16_t column, std::string_view text) {
    Bytes body = CellHeader(row, column);
    Append(body, UnicodeString(text));
    return Record(0x0204, body);
}

Bytes BoolErr(std::uint16_t row, std::uint16_t column, std::uint8_t value, bool isError) {
    Bytes body = CellHeader(row, column);
    body.push_back(value);
    body.push_back(isError ? 1 : 0);
    return Record(0x0205, body);
}

Bytes Formula(std::uint16_t row, std::uint16_t column, const Bytes& result, const Bytes& tokens) {
    Bytes body = CellHeader(row, column);
    Append(body, result);
    Put16(body, 0);  // flags
    Put32(body, 0);
    Put16(body, static_cast<std::uint16_t>(tokens.size()));
    Append(body, tokens);
    return Record(0x0006, body);
}

Bytes NumberResult(double value) {
    Bytes bytes;
    PutDouble(bytes, value);
    return bytes;
}

Bytes SpecialResult(std::uint8_t kind, std::uint8_t value) {
    return Bytes{kind, 0, value, 0, 0, 0, 0xFF, 0xFF};
}

Bytes StringResult(std::string_view text) {
    return Record(0x0207, UnicodeString(text));
}

Bytes WorkbookStream(const std::vector<Bytes>& globals, const std::vector<SheetSource>& sheets) {
    Bytes head = Bof(0x0005);
    for (const auto& record : globals) {
        Append(head, record);
    }
    // BOUNDSHEET8 sizes do not depend on the positions, so lay them out once to measure.
    std::size_t boundSheetsSize = 0;
    for (const auto& sheet : sheets) {
        boundSheetsSize += 4 + 8 + UnicodeString(sheet.name).size() - 3;
    }
    std::size_t position = head.size() + boundSheetsSize + Eof().size();
    Bytes substreams;
    for (const auto& sheet : sheets) {
        Bytes body;
        Put32(body, static_cast<std::uint32_t>(position + substreams.size()));
        body.push_back(sheet.state);
        body.push_back(sheet.type);
        Bytes name = UnicodeString(sheet.name);
        body.push_back(name[0]);  // ShortXLUnicodeString: an 8-bit count
        body.insert(body.end(), name.begin() + 2, name.end());
        Append(head, Record(0x0085, body));

        Append(substreams, Bof(sheet.bofType));
        for (const auto& record : sheet.records) {
            Append(substreams, record);
        }
        Append(substreams, Eof());
    }
    Append(head, Eof());
    Append(head, substreams);
    return head;
}

void WriteCompoundFile(const std::filesystem::path& file, const Bytes& stream,
                       const char* streamName) {
    GError* error = nullptr;
    GsfOutput* output = gsf_output_stdio_new(file.c_str(), &error);
    if (output == nullptr) {
        g_clear_error(&error);
        throw std::runtime_error("cannot create " + file.string());
    }
    GsfOutfile* storage = gsf_outfile_msole_new(output);
    GsfOutput* child = gsf_outfile_new_child(storage, streamName, FALSE);
    gsf_output_write(child, stream.size(), stream.data());
    gsf_output_close(child);
    g_object_unref(child);
    gsf_output_close(GSF_OUTPUT(storage));
    g_object_unref(storage);  // closing the storage closed the file under it
    g_object_unref(output);
}

}  // namespace tabrook::testing::biff
