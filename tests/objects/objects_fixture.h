#pragma once
// Legacy workbooks with embedded objects, laid out record by record, and the converted
// package the office would write for them.

#include <cstdint>
#include <filesystem>
#include <string>

#include "biff/biff_builder.h"

namespace tabrook::calcserver::objects::testing {

using tabrook::testing::biff::Bytes;

// A drawing record (OfficeArt): version and instance, type, then the body.
Bytes Art(std::uint16_t version, std::uint16_t instance, std::uint16_t type, const Bytes& body);

// The drawing records of one shape placed at columns 1..3, rows 2..6 (offsets 512/1024 of
// a column, 128/256 of a row at the start), its picture the store's entry `picture`.
Bytes ShapeDrawing(std::uint32_t picture);
// The same drawing records without the record around them.
Bytes ShapeRecords(std::uint32_t picture);

// An OBJ record of an embedded object in storage `storageId`; `control` marks an ActiveX
// control, whose data lives elsewhere.
// `className` goes into the embedding information after the formula, when not empty.
Bytes EmbeddedObj(std::uint16_t objectId, std::uint32_t storageId, bool control = false,
                  const std::string& className = "");

// An OBJ record of an ActiveX control whose class id and data are `size` bytes at `offset`
// of the control stream.
Bytes ControlObj(std::uint16_t objectId, std::uint32_t offset, std::uint32_t size);

// The drawing records of a shape named `name` placed like ShapeDrawing's.
Bytes NamedShapeDrawing(const std::string& name);

// The drawing group with a picture store of one PNG entry holding `png`.
Bytes PictureGroup(const std::string& png);

// A CompObj stream that names `progId`.
std::string CompObj(const std::string& progId);

// An .xls holding sheet "Data" with one embedded object (storage 0x0435D8BE, its preview
// the PNG "PNGDATA") and the storage itself.
void WriteWorkbookWithObject(const std::filesystem::path& file);

// An .xls holding sheet "Data" with the ActiveX check box "CheckBox1", its class id and
// the data "PERSISTED" in the control stream.
void WriteWorkbookWithControl(const std::filesystem::path& file);

// The package the office writes for it: one sheet named "Data" and nothing drawn.
void WriteOfficePackage(const std::filesystem::path& file);

}  // namespace tabrook::calcserver::objects::testing
