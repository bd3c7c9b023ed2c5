#include "calcserver/objects/source_objects.h"

#include <zlib.h>

#include <map>
#include <utility>

#include "calcserver/biff/biff_workbook.h"
#include "calcserver/biff/record_cursor.h"
#include "calcserver/biff/record_ids.h"
#include "calcserver/biff/text_decoding.h"

namespace tabrook::calcserver::objects {
namespace {

using biff::BiffError;
using biff::FieldReader;
using biff::Record;
using biff::RecordCursor;
using Bytes = std::span<const std::uint8_t>;
namespace rid = biff::record_id;

constexpr std::uint16_t kObj = 0x005D;
constexpr std::uint16_t kMsoDrawing = 0x00EC;
constexpr std::uint16_t kMsoDrawingGroup = 0x00EB;
constexpr std::uint16_t kTxo = 0x01B6;
constexpr std::uint16_t kChartSubstream = 0x0020;
constexpr std::uint16_t kGlobalsSubstream = 0x0005;
constexpr std::uint16_t kWorksheetSubstream = 0x0010;
constexpr std::uint16_t kWindow2 = 0x023E;
constexpr std::uint16_t kPane = 0x0041;
constexpr std::uint16_t kConditionalFormat = 0x01B1;
constexpr std::uint16_t kConditionalFormat12 = 0x087A;
constexpr std::uint16_t kHyperlink = 0x01B8;
constexpr std::uint16_t kNote = 0x001C;

// OBJ sub-records and flags.
constexpr std::uint16_t kFtCmo = 0x0015;
constexpr std::uint16_t kFtEnd = 0x0000;
constexpr std::uint16_t kFtPioGrbit = 0x0008;
constexpr std::uint16_t kFtPictFmla = 0x0009;
constexpr std::uint16_t kFtLbsData = 0x0013;
constexpr std::uint16_t kFtMacro = 0x0004;
constexpr std::uint16_t kFtCblsData = 0x000A;
constexpr std::uint16_t kFtSbs = 0x000C;
constexpr std::uint16_t kFtSbsFmla = 0x000E;
constexpr std::uint16_t kFtCblsFmla = 0x0014;
// An object the application made for itself (a filter's or validation's drop-down arrow).
constexpr std::uint16_t kMadeByApplication = 0x0100;
constexpr std::uint16_t kObjectChart = 0x0005;
constexpr std::uint16_t kObjectPicture = 0x0008;
constexpr std::uint16_t kPictureIsControl = 0x0010;

// Drawing (OfficeArt) record types.
constexpr std::uint16_t kShapeContainer = 0xF004;
constexpr std::uint16_t kGroupSpace = 0xF009;
constexpr std::uint16_t kChildAnchor = 0xF00F;
constexpr std::uint16_t kProperties = 0xF00B;
constexpr std::uint16_t kClientAnchor = 0xF010;
constexpr std::uint16_t kPictureEntry = 0xF007;
constexpr std::uint16_t kPropertyPicture = 0x0104;
constexpr std::uint16_t kPropertyName = 0x0380;
constexpr std::uint16_t kPictureInControlStream = 0x0020;
// Containers nest a handful of levels in real files.
constexpr int kMaxDrawingDepth = 16;

struct ArtHeader {
    std::uint16_t version = 0;
    std::uint16_t instance = 0;
    std::uint16_t type = 0;
    std::uint32_t length = 0;
};

ArtHeader ReadArtHeader(FieldReader& reader) {
    ArtHeader header;
    const std::uint16_t versionInstance = reader.U16();
    header.version = versionInstance & 0x000F;
    header.instance = versionInstance >> 4;
    header.type = reader.U16();
    header.length = reader.U32();
    return header;
}

// The shape that the drawing records describe last; the OBJ record after them is its
// object.
struct PendingShape {
    std::optional<CellAnchor> anchor;
    std::optional<std::array<std::int32_t, 4>> groupSpace;   // the shape is a group
    std::optional<std::array<std::int32_t, 4>> childAnchor;  // the shape is in a group
    std::size_t picture = 0;
    std::string name;
};

// The last group the drawing placed on the sheet: the shapes after it with a child anchor
// are its members.
struct GroupFrame {
    CellAnchor anchor;
    std::array<std::int32_t, 4> space{};
};

struct DrawingState {
    PendingShape shape;
    std::optional<GroupFrame> group;
};

std::array<std::int32_t, 4> ReadRectangle(Bytes body) {
    FieldReader reader(body);
    std::array<std::int32_t, 4> rectangle{};
    for (auto& side : rectangle) {
        side = static_cast<std::int32_t>(reader.U32());
    }
    return rectangle;
}

// A shape's name: UTF-16 in the properties' variable part, which holds the complex values
// in the order of their properties. Only plain ASCII names are kept.
std::string ShapeName(Bytes complexData, std::size_t offset, std::size_t size) {
    if (offset > complexData.size() || size > complexData.size() - offset || size % 2 != 0) {
        return {};
    }
    std::string name;
    for (std::size_t i = offset; i + 1 < offset + size; i += 2) {
        const unsigned unit = complexData[i] | (complexData[i + 1] << 8);
        if (unit == 0) {
            break;
        }
        if (unit < 0x20 || unit > 0x7E) {
            return {};
        }
        name.push_back(static_cast<char>(unit));
    }
    return name;
}

void ReadShapeRecords(Bytes bytes, DrawingState& state, int depth) {
    PendingShape& shape = state.shape;
    if (depth > kMaxDrawingDepth) {
        throw BiffError("drawing containers nest too deeply");
    }
    FieldReader reader(bytes);
    while (reader.Remaining() >= 8) {
        const ArtHeader header = ReadArtHeader(reader);
        // A container may go on in the next record: read what this one holds.
        const std::size_t length = std::min<std::size_t>(header.length, reader.Remaining());
        const Bytes body = reader.Bytes(length);
        if (header.type == kShapeContainer) {
            shape = PendingShape{};
        }
        if (header.version == 0x0F) {
            ReadShapeRecords(body, state, depth + 1);
        } else if (header.type == kGroupSpace && body.size() >= 16) {
            shape.groupSpace = ReadRectangle(body);
        } else if (header.type == kChildAnchor && body.size() >= 16) {
            shape.childAnchor = ReadRectangle(body);
        } else if (header.type == kProperties) {
            const std::size_t count = std::min<std::size_t>(header.instance, body.size() / 6);
            const Bytes complexData = body.subspan(count * 6);
            FieldReader properties(body.first(count * 6));
            std::size_t complexOffset = 0;
            for (std::size_t i = 0; i < count; ++i) {
                const std::uint16_t word = properties.U16();
                const std::uint32_t value = properties.U32();
                const std::uint16_t id = word & 0x3FFF;
                if (id == kPropertyPicture) {
                    shape.picture = value;
                } else if (id == kPropertyName && (word & 0x8000) != 0) {
                    shape.name = ShapeName(complexData, complexOffset, value);
                }
                if ((word & 0x8000) != 0) {
                    complexOffset += value;
                }
            }
        } else if (header.type == kClientAnchor && body.size() >= 18) {
            FieldReader anchor(body);
            anchor.Skip(2);
            CellAnchor cells;
            cells.firstColumn = anchor.U16();
            cells.firstColumnOffset = anchor.U16();
            cells.firstRow = anchor.U16();
            cells.firstRowOffset = anchor.U16();
            cells.lastColumn = anchor.U16();
            cells.lastColumnOffset = anchor.U16();
            cells.lastRow = anchor.U16();
            cells.lastRowOffset = anchor.U16();
            shape.anchor = cells;
            if (shape.groupSpace) {
                state.group = GroupFrame{cells, *shape.groupSpace};
            }
        }
    }
}

// The class name in the embedding information after an object's formula tokens, when it
// is plain ASCII.
std::string ClassNameOf(Bytes formula) {
    FieldReader reader(formula);
    const std::size_t tokens = reader.U16() & 0x7FFF;
    reader.Skip(4);
    reader.Skip(std::min(tokens, reader.Remaining()));
    if (reader.Remaining() < 4 || reader.U8() != 0x03) {
        return {};
    }
    const std::size_t length = reader.U8();
    reader.Skip(1);
    if (reader.U8() != 0 || reader.Remaining() < length) {
        return {};
    }
    const Bytes chars = reader.Bytes(length);
    std::string name(chars.begin(), chars.end());
    for (const char c : name) {
        if (c < 0x20 || c > 0x7E) {
            return {};
        }
    }
    return name;
}

// A picture object that is an embedded OLE object or an ActiveX control.
struct PictureObject {
    bool control = false;
    EmbeddedObject embedded;
    ControlObject activeX;
};

// The embedded object or control an OBJ record holds; nothing for other objects.
std::optional<PictureObject> PictureObjectOf(Bytes data) {
    FieldReader reader(data);
    if (reader.U16() != kFtCmo) {
        return std::nullopt;
    }
    FieldReader common(reader.Bytes(reader.U16()));
    const std::uint16_t objectType = common.U16();
    PictureObject object;
    object.embedded.objectId = object.activeX.objectId = common.U16();
    if (objectType != kObjectPicture) {
        return std::nullopt;
    }
    std::uint16_t flags = 0;
    while (reader.Remaining() >= 4) {
        const std::uint16_t ft = reader.U16();
        const std::uint16_t size = reader.U16();
        if (ft == kFtEnd || ft == kFtLbsData) {
            break;
        }
        FieldReader sub(reader.Bytes(std::min<std::size_t>(size, reader.Remaining())));
        if (ft == kFtPioGrbit && sub.Remaining() >= 2) {
            flags = sub.U16();
        } else if (ft == kFtPictFmla) {
            const Bytes formula = sub.Bytes(sub.U16());
            object.control = (flags & kPictureIsControl) != 0;
            if (object.control) {
                // A control kept in a storage of its own has no run of the control stream: its
                // size stays 0.
                if ((flags & kPictureInControlStream) != 0) {
                    object.activeX.streamOffset = sub.U32();
                    object.activeX.streamSize = sub.U32();
                }
                return object;
            }
            try {
                object.embedded.className = ClassNameOf(formula);
            } catch (const BiffError&) {
                // The name is a fallback for the storage's own; the object stays.
            }
            // After the formula, the number of the object's storage.
            object.embedded.storageId = sub.U32();
            return object;
        }
    }
    return std::nullopt;
}

// The tokens of an object's formula: its size, 4 unused bytes, then the tokens.
// An empty formula (no link, no macro) is a size of 0 alone.
std::vector<std::uint8_t> TokensOf(Bytes formula) {
    if (formula.size() < 6) {
        return {};
    }
    FieldReader reader(formula);
    const std::size_t size = reader.U16() & 0x7FFF;
    reader.Skip(4);
    const Bytes tokens = reader.Bytes(std::min(size, reader.Remaining()));
    return {tokens.begin(), tokens.end()};
}

bool IsFormControlType(std::uint16_t objectType) {
    return objectType == 0x07 || (objectType >= 0x0B && objectType <= 0x14);
}

// The form control an OBJ record holds; nothing for other objects.
std::optional<FormControl> FormControlOf(Bytes data) {
    FieldReader reader(data);
    if (reader.U16() != kFtCmo) {
        return std::nullopt;
    }
    FieldReader common(reader.Bytes(reader.U16()));
    FormControl control;
    control.objectType = common.U16();
    control.objectId = common.U16();
    const std::uint16_t flags = common.U16();
    if (!IsFormControlType(control.objectType) || (flags & kMadeByApplication) != 0) {
        return std::nullopt;
    }
    while (reader.Remaining() >= 4) {
        const std::uint16_t ft = reader.U16();
        const std::uint16_t size = reader.U16();
        if (ft == kFtEnd) {
            break;
        }
        if (ft == kFtLbsData) {
            // Its size field is a fixed mark; the range formula follows with a size of its own,
            // and the list's data after it is not read here.
            if (reader.Remaining() >= 2) {
                const std::size_t formulaSize = reader.U16();
                control.listRange =
                    TokensOf(reader.Bytes(std::min(formulaSize, reader.Remaining())));
            }
            break;
        }
        FieldReader sub(reader.Bytes(std::min<std::size_t>(size, reader.Remaining())));
        if (ft == kFtMacro) {
            control.macro = TokensOf(sub.Bytes(sub.Remaining()));
        } else if (ft == kFtSbsFmla || ft == kFtCblsFmla) {
            control.link = TokensOf(sub.Bytes(sub.Remaining()));
        } else if (ft == kFtSbs && sub.Remaining() >= 14) {
            sub.Skip(4);
            std::array<std::int16_t, 5> values{};
            for (auto& value : values) {
                value = static_cast<std::int16_t>(sub.U16());
            }
            control.scroll = values;
        } else if (ft == kFtCblsData && sub.Remaining() >= 2) {
            control.checked = sub.U16();
        }
    }
    return control;
}

// The object type an OBJ record's first sub-record names.
std::uint16_t ObjectTypeOf(Bytes data) {
    FieldReader reader(data);
    if (reader.U16() != kFtCmo) {
        return 0;
    }
    reader.Skip(2);
    return reader.U16();
}

// A caption's characters: a flag byte (1: UTF-16, else the low bytes of UTF-16), then as
// many of the `length` characters as the record holds.
std::string CaptionText(Bytes data, std::size_t length) {
    std::string text;
    if (data.empty()) {
        return text;
    }
    const Bytes chars = data.subspan(1);
    if ((data[0] & 0x01) == 0) {
        biff::AppendLatin1(text, chars.first(std::min(length, chars.size())));
        return text;
    }
    biff::Utf16Decoder decoder(text);
    for (std::size_t i = 0; i < length && 2 * i + 1 < chars.size(); ++i) {
        decoder.Unit(static_cast<std::uint16_t>(chars[2 * i] | (chars[2 * i + 1] << 8)));
    }
    decoder.Finish();
    return text;
}

// A member of the last group, placed in the group's coordinates.
std::optional<GroupedAnchor> Grouped(const DrawingState& drawing) {
    if (drawing.shape.anchor || !drawing.shape.childAnchor || !drawing.group) {
        return std::nullopt;
    }
    return GroupedAnchor{drawing.group->anchor, drawing.group->space, *drawing.shape.childAnchor};
}

// Excel goes on with a sheet's drawing in CONTINUE records after a text box's text; such a
// record begins with a drawing record header, which text and formatting runs never do.
bool ContinuesDrawing(Bytes data) {
    if (data.size() < 8) {
        return false;
    }
    const std::uint16_t versionInstance = static_cast<std::uint16_t>(data[0] | (data[1] << 8));
    const std::uint16_t type = static_cast<std::uint16_t>(data[2] | (data[3] << 8));
    return type >= 0xF000 && type <= 0xF122 &&
           ((versionInstance & 0x000F) == 0x000F || type == 0xF00D || type == 0xF010 ||
            type == 0xF011);
}

std::string Inflate(Bytes compressed, std::size_t size) {
    if (size == 0 || size > kMaxPictureBytes) {
        return {};
    }
    std::string out(size, '\0');
    uLongf produced = static_cast<uLongf>(size);
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &produced, compressed.data(),
                   static_cast<uLong>(compressed.size())) != Z_OK) {
        return {};
    }
    out.resize(produced);
    return out;
}

// One picture-store entry: a picture record after the entry's fixed part and name.
StoredPicture ReadStoreEntry(Bytes entry) {
    StoredPicture picture;
    FieldReader reader(entry);
    if (reader.Remaining() < 36) {
        return picture;
    }
    reader.Skip(33);
    const std::uint8_t nameLength = reader.U8();
    reader.Skip(2);
    if (reader.Remaining() < nameLength + 8u) {
        return picture;
    }
    reader.Skip(nameLength);
    const ArtHeader header = ReadArtHeader(reader);
    FieldReader blip(reader.Bytes(std::min<std::size_t>(header.length, reader.Remaining())));
    // Odd instances carry a second 16-byte identifier.
    const std::size_t ids = (header.instance & 1) != 0 ? 32 : 16;
    if (blip.Remaining() < ids) {
        return picture;
    }
    blip.Skip(ids);
    switch (header.type) {
        case 0xF01A: {  // EMF, behind a metafile header, usually deflated
            if (blip.Remaining() < 34) {
                return picture;
            }
            const std::uint32_t size = blip.U32();
            blip.Skip(24);
            const std::uint32_t saved = blip.U32();
            const std::uint8_t compression = blip.U8();
            blip.Skip(1);
            const Bytes data = blip.Bytes(std::min<std::size_t>(saved, blip.Remaining()));
            picture.bytes =
                compression == 0 ? Inflate(data, size) : std::string(data.begin(), data.end());
            picture.kind = picture.bytes.empty() ? PictureKind::Unsupported : PictureKind::Emf;
            return picture;
        }
        case 0xF01D:  // JPEG
        case 0xF01E:  // PNG
        {
            blip.Skip(std::min<std::size_t>(1, blip.Remaining()));
            const Bytes data = blip.Bytes(blip.Remaining());
            if (data.size() <= kMaxPictureBytes) {
                picture.bytes.assign(data.begin(), data.end());
                picture.kind = header.type == 0xF01E ? PictureKind::Png : PictureKind::Jpeg;
            }
            return picture;
        }
        default:
            return picture;
    }
}

void ReadPictureStore(Bytes group, std::vector<StoredPicture>& pictures, int depth) {
    if (depth > kMaxDrawingDepth) {
        throw BiffError("drawing containers nest too deeply");
    }
    FieldReader reader(group);
    while (reader.Remaining() >= 8) {
        const ArtHeader header = ReadArtHeader(reader);
        const Bytes body = reader.Bytes(std::min<std::size_t>(header.length, reader.Remaining()));
        if (header.type == kPictureEntry) {
            pictures.push_back(ReadStoreEntry(body));
        } else if (header.version == 0x0F) {
            ReadPictureStore(body, pictures, depth + 1);
        }
    }
}

}  // namespace

SourceObjects ReadSourceObjects(std::span<const std::uint8_t> workbookStream) {
    SourceObjects objects;
    // Sheets are numbered by the position of their BOUNDSHEET record; each names the offset
    // of its substream.
    std::map<std::size_t, std::size_t> sheetAt;
    std::vector<std::uint8_t> group;
    RecordCursor cursor(workbookStream);
    Record record;
    std::vector<std::uint16_t> substreams;
    std::size_t sheet = 0;
    bool inGroup = false;
    DrawingState drawing;
    // The caption of the form control just read: its TXO record gives the length, the
    // CONTINUE record after it the characters.
    FormControl* captioned = nullptr;
    std::size_t captionLength = 0;
    // The placement of the last chart object, for the chart substream after it.
    std::optional<CellAnchor> chartAnchor;
    // The chart whose substream is open, and at which depth of substreams it began.
    bool chartOpen = false;
    std::size_t openChartSheet = 0;
    std::size_t openChartDepth = 0;
    // A sheet has a WINDOW2 (and maybe a PANE) per workbook window; the first is the one
    // a converted sheet's view stands for.
    std::size_t windowsOfSheet = 0;
    std::span<const std::uint8_t> firstWindow;
    while (true) {
        // Between substreams only another one may begin: what else follows the last is the
        // stream's padding to its sector, often too short for a record.
        std::uint16_t next = 0;
        if (substreams.empty() && !sheetAt.empty() && (!cursor.PeekId(next) || next != rid::kBof)) {
            break;
        }
        if (!cursor.Next(record)) {
            break;
        }
        const bool continuesGroup = inGroup && record.id == rid::kContinue;
        inGroup = false;
        if (record.id == rid::kBof) {
            FieldReader bof(record.data);
            bof.Skip(2);
            const std::uint16_t kind = bof.U16();
            if (substreams.empty() && kind != kGlobalsSubstream) {
                const auto found = sheetAt.find(record.offset);
                sheet = found != sheetAt.end() ? found->second : objects.sheets.size();
                if (sheet >= objects.sheets.size()) {
                    objects.sheets.resize(sheet + 1);
                }
            }
            // A chart sheet, or a chart embedded in a sheet.
            if (kind == kChartSubstream && sheet < objects.sheets.size() && !chartOpen) {
                objects.sheets[sheet].charts.push_back(
                    SheetChart{substreams.empty() ? std::nullopt : chartAnchor, record.offset, 0});
                openChartSheet = sheet;
                chartOpen = true;
                openChartDepth = substreams.size();
                chartAnchor.reset();
            }
            if (substreams.empty()) {
                windowsOfSheet = 0;
            }
            substreams.push_back(kind);
            drawing = DrawingState{};
            continue;
        }
        if (record.id == rid::kEof) {
            if (!substreams.empty()) {
                substreams.pop_back();
            }
            if (chartOpen && substreams.size() == openChartDepth) {
                SheetChart& chart = objects.sheets[openChartSheet].charts.back();
                chart.size = cursor.Offset() - chart.offset;
                chartOpen = false;
            }
            continue;
        }
        if (substreams.size() == 1 && substreams.back() == kGlobalsSubstream) {
            if (record.id == rid::kBoundSheet && record.data.size() >= 4) {
                FieldReader bound(record.data);
                const std::size_t index = sheetAt.size();
                sheetAt.emplace(bound.U32(), index);
                if (objects.sheets.size() <= index) {
                    objects.sheets.resize(index + 1);
                }
            } else if (record.id == kMsoDrawingGroup || continuesGroup) {
                group.insert(group.end(), record.data.begin(), record.data.end());
                inGroup = true;
            }
            continue;
        }
        // Only a sheet's own drawing; a chart inside it has drawings of its own.
        if (substreams.size() != 1 || sheet >= objects.sheets.size()) {
            continue;
        }
        if (substreams.back() == kWorksheetSubstream) {
            SheetTally& tally = objects.sheets[sheet].tally;
            if (record.id == kConditionalFormat || record.id == kConditionalFormat12) {
                ++tally.conditionalFormats;
            } else if (record.id == kHyperlink) {
                ++tally.hyperlinks;
            } else if (record.id == kNote) {
                ++tally.comments;
            } else if (record.id == kWindow2 && windowsOfSheet++ == 0) {
                firstWindow = record.data;
            } else if (record.id == kPane && windowsOfSheet == 1) {
                objects.sheets[sheet].frozenPane = FrozenPaneOf(firstWindow, record.data);
            }
        }
        FormControl* const caption = std::exchange(captioned, nullptr);
        try {
            if (record.id == kMsoDrawing ||
                (record.id == rid::kContinue && ContinuesDrawing(record.data))) {
                ReadShapeRecords(record.data, drawing, 0);
                captioned = caption;  // the text box record stands between OBJ and TXO
            } else if (record.id == kTxo && caption != nullptr && record.data.size() >= 12) {
                FieldReader text(record.data);
                text.Skip(10);
                captionLength = text.U16();
                captioned = captionLength > 0 ? caption : nullptr;
            } else if (record.id == rid::kContinue && caption != nullptr &&
                       caption->caption.empty()) {
                caption->caption = CaptionText(record.data, captionLength);
            } else if (record.id == kObj) {
                const std::uint16_t objectType = ObjectTypeOf(record.data);
                if (objectType == kObjectChart) {
                    chartAnchor = drawing.shape.anchor;
                }
                if (substreams.back() == kWorksheetSubstream && IsDrawnShapeType(objectType)) {
                    ++objects.sheets[sheet].tally.shapes;
                }
                if (auto form = FormControlOf(record.data)) {
                    form->anchor = drawing.shape.anchor;
                    form->grouped = Grouped(drawing);
                    form->name = drawing.shape.name;
                    objects.sheets[sheet].formControls.push_back(std::move(*form));
                    captioned = &objects.sheets[sheet].formControls.back();
                } else if (auto found = PictureObjectOf(record.data)) {
                    if (found->control) {
                        ControlObject& control = found->activeX;
                        control.anchor = drawing.shape.anchor;
                        control.grouped = Grouped(drawing);
                        control.previewPicture = drawing.shape.picture;
                        control.name = drawing.shape.name;
                        objects.sheets[sheet].controls.push_back(control);
                    } else {
                        EmbeddedObject& object = found->embedded;
                        object.anchor = drawing.shape.anchor;
                        object.grouped = Grouped(drawing);
                        object.previewPicture = drawing.shape.picture;
                        objects.sheets[sheet].embedded.push_back(object);
                    }
                }
                drawing.shape = PendingShape{};
            }
        } catch (const BiffError& error) {
            objects.notes.push_back("a drawing record of sheet " + std::to_string(sheet + 1) +
                                    " is damaged (" + error.what() + ")");
            drawing.shape = PendingShape{};
        }
    }
    // A chart cut off by the end of the stream keeps what it has.
    if (chartOpen) {
        SheetChart& chart = objects.sheets[openChartSheet].charts.back();
        chart.size = workbookStream.size() - chart.offset;
    }
    try {
        ReadPictureStore(group, objects.pictures, 0);
    } catch (const BiffError& error) {
        objects.notes.push_back(std::string("the workbook's picture store is damaged (") +
                                error.what() + ")");
    }
    return objects;
}

}  // namespace tabrook::calcserver::objects
