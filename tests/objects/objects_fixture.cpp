#include "objects/objects_fixture.h"

#include "calcserver/package/zip_package.h"
#include "vba/compound_fixture.h"

namespace tabrook::calcserver::objects::testing {

using namespace tabrook::testing::biff;

Bytes Art(std::uint16_t version, std::uint16_t instance, std::uint16_t type, const Bytes& body) {
    return Le16(static_cast<std::uint16_t>(version | (instance << 4))) + Le16(type) +
           Le32(static_cast<std::uint32_t>(body.size())) + body;
}

Bytes ShapeDrawing(std::uint32_t picture) {
    return Record(0x00EC, ShapeRecords(picture));
}

Bytes ShapeRecords(std::uint32_t picture) {
    const Bytes shape = Art(2, 75, 0xF00A, Le32(1025) + Le32(0x0A00));
    const Bytes properties = Art(3, 1, 0xF00B, Le16(0x4104) + Le32(picture));
    const Bytes anchor = Art(0, 0, 0xF010,
                             Le16(0) + Le16(1) + Le16(512) + Le16(2) + Le16(128) + Le16(3) +
                                 Le16(0) + Le16(6) + Le16(0));
    return Art(0xF, 0, 0xF004, shape + properties + anchor);
}

Bytes EmbeddedObj(std::uint16_t objectId, std::uint32_t storageId, bool control,
                  const std::string& className) {
    const Bytes common =
        Le16(0x15) + Le16(18) + Le16(8) + Le16(objectId) + Le16(0x6011) + Bytes(12, 0);
    const Bytes format = Le16(0x07) + Le16(2) + Le16(0xFFFF);
    const Bytes flags = Le16(0x08) + Le16(2) + Le16(control ? 0x0010 : 0x0001);
    Bytes formula = Le16(5) + Bytes(4, 0) + Bytes{0x02, 0, 0, 0, 0};
    if (!className.empty()) {
        formula = formula + Bytes{0x03, static_cast<std::uint8_t>(className.size()), 0, 0} +
                  Bytes(className.begin(), className.end());
    }
    const Bytes pictFormula =
        Le16(0x09) + Le16(static_cast<std::uint16_t>(2 + formula.size() + 4)) +
        Le16(static_cast<std::uint16_t>(formula.size())) + formula + Le32(storageId);
    return Record(0x005D, common + format + flags + pictFormula + Le32(0));
}

Bytes ControlObj(std::uint16_t objectId, std::uint32_t offset, std::uint32_t size) {
    const Bytes common =
        Le16(0x15) + Le16(18) + Le16(8) + Le16(objectId) + Le16(0x6011) + Bytes(12, 0);
    const Bytes flags = Le16(0x08) + Le16(2) + Le16(0x0031);
    const Bytes formula = Le16(5) + Bytes(4, 0) + Bytes{0x02, 0, 0, 0, 0};
    const Bytes pictFormula =
        Le16(0x09) + Le16(static_cast<std::uint16_t>(2 + formula.size() + 8)) +
        Le16(static_cast<std::uint16_t>(formula.size())) + formula + Le32(offset) + Le32(size);
    return Record(0x005D, common + flags + pictFormula + Le32(0));
}

Bytes NamedShapeDrawing(const std::string& name) {
    Bytes text;
    for (const char c : name + '\0') {
        text = text + Le16(static_cast<std::uint8_t>(c));
    }
    const Bytes shape = Art(2, 201, 0xF00A, Le32(1026) + Le32(0x0A00));
    const Bytes properties =
        Art(3, 1, 0xF00B, Le16(0x8380) + Le32(static_cast<std::uint32_t>(text.size())) + text);
    const Bytes anchor = Art(
        0, 0, 0xF010,
        Le16(0) + Le16(1) + Le16(0) + Le16(2) + Le16(0) + Le16(2) + Le16(0) + Le16(3) + Le16(0));
    return Record(0x00EC, Art(0xF, 0, 0xF004, shape + properties + anchor));
}

Bytes PictureGroup(const std::string& png) {
    const Bytes data(png.begin(), png.end());
    const Bytes blip = Art(0, 0x6E0, 0xF01E, Bytes(16, 0xAB) + Bytes{0xFF} + data);
    const Bytes entry = Art(2, 6, 0xF007,
                            Bytes{6, 6} + Bytes(16, 0xAB) + Le16(0xFF) +
                                Le32(static_cast<std::uint32_t>(blip.size())) + Le32(1) + Le32(0) +
                                Bytes{0, 0, 0, 0} + blip);
    const Bytes store = Art(0xF, 1, 0xF001, entry);
    return Record(0x00EB, Art(0xF, 0, 0xF000, store));
}

std::string CompObj(const std::string& progId) {
    std::string stream(28, '\0');
    const auto text = [&](const std::string& value) {
        const auto length = static_cast<std::uint32_t>(value.size() + 1);
        for (int i = 0; i < 4; ++i) {
            stream.push_back(static_cast<char>((length >> (8 * i)) & 0xFF));
        }
        stream += value;
        stream.push_back('\0');
    };
    text("Microsoft Word Document");
    text("MSWordDoc");
    text(progId);
    return stream;
}

void WriteWorkbookWithObject(const std::filesystem::path& file) {
    const Bytes stream = WorkbookStream(
        {PictureGroup("PNGDATA")},
        {{"Data",
          {Dimensions(1, 1), Number(0, 0, 1), ShapeDrawing(1), EmbeddedObj(1, 0x0435D8BE)}}});
    namespace fixture = tabrook::calcserver::vba::testing;
    fixture::WriteCompoundFile(
        file, {fixture::Stream("Workbook", std::string(stream.begin(), stream.end())),
               fixture::Storage("MBD0435D8BE"),
               fixture::Stream("MBD0435D8BE/\x01"
                               "CompObj",
                               CompObj("Word.Document.8")),
               fixture::Stream("MBD0435D8BE/WordDocument", "the document's own bytes")});
}

void WriteWorkbookWithControl(const std::filesystem::path& file) {
    // The check box's class id as stored: {8BD21D40-EC42-11CE-9E0D-00AA006002F3}.
    const std::string controls = std::string(
                                     "\x40\x1D\xD2\x8B\x42\xEC\xCE\x11\x9E\x0D\x00"
                                     "\xAA\x00\x60\x02\xF3",
                                     16) +
                                 "PERSISTED";
    const Bytes stream =
        WorkbookStream({}, {{"Data",
                             {NamedShapeDrawing("CheckBox1"),
                              ControlObj(1, 0, static_cast<std::uint32_t>(controls.size()))}}});
    namespace fixture = tabrook::calcserver::vba::testing;
    fixture::WriteCompoundFile(
        file, {fixture::Stream("Workbook", std::string(stream.begin(), stream.end())),
               fixture::Stream("Ctls", controls)});
}

void WriteOfficePackage(const std::filesystem::path& file) {
    package::ZipWriter writer(file);
    writer.Add(
        "[Content_Types].xml",
        R"(<?xml version="1.0" encoding="UTF-8"?>)"
        R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
        R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
        R"(<Default Extension="xml" ContentType="application/xml"/>)"
        R"(<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>)"
        R"(<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>)"
        R"(</Types>)");
    writer.Add(
        "_rels/.rels",
        R"(<?xml version="1.0" encoding="UTF-8"?>)"
        R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>)"
        R"(</Relationships>)");
    writer.Add("xl/workbook.xml",
               R"(<?xml version="1.0" encoding="UTF-8"?>)"
               R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
               R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
               R"(<sheets><sheet name="Data" sheetId="1" r:id="rId1"/></sheets></workbook>)");
    writer.Add(
        "xl/_rels/workbook.xml.rels",
        R"(<?xml version="1.0" encoding="UTF-8"?>)"
        R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>)"
        R"(</Relationships>)");
    writer.Add(
        "xl/worksheets/sheet1.xml",
        R"(<?xml version="1.0" encoding="UTF-8"?>)"
        R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
        R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
        R"(<sheetFormatPr defaultRowHeight="15"/><cols><col min="2" max="2" width="20" customWidth="1"/></cols>)"
        R"(<sheetData><row r="1"><c r="A1"><v>1</v></c></row></sheetData>)"
        R"(<pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/>)"
        R"(<tableParts count="0"/></worksheet>)");
    writer.Commit();
}

}  // namespace tabrook::calcserver::objects::testing
