#pragma once
// What a legacy workbook places on its sheets, from the OBJ and MSODRAWING records of each
// sheet and the picture store of the workbook's drawing group: the embedded objects with
// their placement and preview picture, and the charts.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "calcserver/objects/frozen_panes.h"
#include "calcserver/objects/sheet_tallies.h"

namespace tabrook::calcserver::objects {

// A placement as the records hold it: 0-based columns and rows; a column offset in 1/1024
// of that column's width, a row offset in 1/256 of that row's height.
struct CellAnchor {
    std::uint16_t firstColumn = 0;
    std::uint16_t firstColumnOffset = 0;
    std::uint16_t firstRow = 0;
    std::uint16_t firstRowOffset = 0;
    std::uint16_t lastColumn = 0;
    std::uint16_t lastColumnOffset = 0;
    std::uint16_t lastRow = 0;
    std::uint16_t lastRowOffset = 0;
};

// A shape inside a group is placed in the group's own coordinates: left, top, right,
// bottom of the group's space and of the shape within it.
struct GroupedAnchor {
    CellAnchor group;
    std::array<std::int32_t, 4> groupSpace{};
    std::array<std::int32_t, 4> shape{};
};

// An OLE object embedded in a sheet: its data is the root storage "MBD" + 8 hex digits.
struct EmbeddedObject {
    std::uint32_t storageId = 0;
    std::uint16_t objectId = 0;
    std::optional<CellAnchor> anchor;
    std::optional<GroupedAnchor> grouped;  // instead of `anchor` for a member of a group
    std::size_t previewPicture = 0;        // 1-based index into SourceObjects::pictures; 0: none
    std::string className;  // as the OBJ record names it ("Word.Document.12"), if ASCII
};

// An ActiveX control: its class id and persisted data are a run of the workbook's control
// stream ("Ctls").
struct ControlObject {
    std::uint16_t objectId = 0;
    std::uint32_t streamOffset = 0;
    std::uint32_t streamSize = 0;
    std::optional<CellAnchor> anchor;
    std::optional<GroupedAnchor> grouped;
    std::size_t previewPicture = 0;
    std::string name;  // the control's code name, from its shape ("CheckBox1")
};

// A form control (button, check box, list, spinner, ...) as its OBJ record describes it.
// Formulas are kept as their tokens: what they name needs the workbook's names to read.
struct FormControl {
    std::uint16_t objectType = 0;  // the OBJ record's ot: 0x07 button, 0x10 spinner, ...
    std::uint16_t objectId = 0;
    std::optional<CellAnchor> anchor;
    std::optional<GroupedAnchor> grouped;
    std::string name;                     // the shape's own name, when it has one
    std::string caption;                  // a button's or check box's text
    std::vector<std::uint8_t> macro;      // ftMacro: the macro the control runs
    std::vector<std::uint8_t> link;       // ftSbsFmla/ftCblsFmla: the linked cell
    std::vector<std::uint8_t> listRange;  // ftLbsData: the cells the items come from
    // ftSbs: value and limits of spinners, scroll bars and lists.
    std::optional<std::array<std::int16_t, 5>> scroll;  // value, min, max, step, page
    std::optional<std::uint16_t> checked;               // ftCblsData: 0 off, 1 on, 2 mixed
};

// A chart: its records are the chart substream at `offset` of the Workbook stream.
struct SheetChart {
    std::optional<CellAnchor> anchor;  // none for a chart sheet
    std::size_t offset = 0;
    std::size_t size = 0;
};

struct SheetObjects {
    std::vector<EmbeddedObject> embedded;
    std::vector<FormControl> formControls;
    std::vector<ControlObject> controls;
    std::vector<SheetChart> charts;        // embedded charts, or the one of a chart sheet
    std::optional<FrozenPane> frozenPane;  // of the sheet's first window
    SheetTally tally;                      // what the office may drop unannounced
};

enum class PictureKind { Emf, Png, Jpeg, Unsupported };

// One picture of the workbook's picture store, as a file of its kind.
struct StoredPicture {
    PictureKind kind = PictureKind::Unsupported;
    std::string bytes;
};

struct SourceObjects {
    std::vector<SheetObjects> sheets;     // one per sheet, in the workbook's order
    std::vector<StoredPicture> pictures;  // the store's entries in order
    std::vector<std::string> notes;       // what could not be read, and why
};

// A picture larger than this (after inflating) is left out.
inline constexpr std::size_t kMaxPictureBytes = std::size_t{64} << 20;

// Reads the records of a Workbook stream. A damaged drawing record ends the reading of that
// record only, with a note; throws biff::BiffError when the stream's records are cut off.
SourceObjects ReadSourceObjects(std::span<const std::uint8_t> workbookStream);

}  // namespace tabrook::calcserver::objects
