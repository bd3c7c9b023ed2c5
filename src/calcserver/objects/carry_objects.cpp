#include "calcserver/objects/carry_objects.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <pugixml.hpp>
#include <set>
#include <string_view>

#include "calcserver/biff/biff_workbook.h"
#include "calcserver/biff/compound_stream.h"
#include "calcserver/biff/formula_text.h"
#include "calcserver/cellexact/package_parts.h"
#include "calcserver/charts/chart_records.h"
#include "calcserver/charts/chart_references.h"
#include "calcserver/charts/chart_xml.h"
#include "calcserver/objects/drawing_frames.h"
#include "calcserver/objects/embedded_storages.h"
#include "calcserver/objects/form_control_anchors.h"
#include "calcserver/objects/form_control_shapes.h"
#include "calcserver/objects/frozen_panes.h"
#include "calcserver/objects/sheet_geometry.h"
#include "calcserver/objects/sheet_tallies.h"
#include "calcserver/objects/source_objects.h"
#include "calcserver/package/content_types.h"
#include "calcserver/package/package_xml.h"
#include "calcserver/package/part_names.h"
#include "calcserver/package/relationships.h"
#include "calcserver/package/xml_names.h"
#include "calcserver/package/zip_package.h"
#include "calcserver/vba/storage_copy.h"
#include "calcserver/vba/vba_error.h"
#include "calcserver/xlsb/cell_ref.h"

namespace tabrook::calcserver::objects {
namespace {

namespace fs = std::filesystem;
using package::AttributeNamed;
using package::ChildNamed;
using package::LocalName;

constexpr std::string_view kOleObjectRel =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/oleObject";
constexpr std::string_view kVmlDrawingRel =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/vmlDrawing";
constexpr std::string_view kImageRel =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/image";
constexpr std::string_view kOleObjectType =
    "application/vnd.openxmlformats-officedocument.oleObject";
constexpr std::string_view kVmlType = "application/vnd.openxmlformats-officedocument.vmlDrawing";
constexpr std::string_view kDrawingRel =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/drawing";
constexpr std::string_view kDrawingType =
    "application/vnd.openxmlformats-officedocument.drawing+xml";
constexpr std::string_view kControlRel =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/control";
constexpr std::string_view kControlBinaryRel =
    "http://schemas.microsoft.com/office/2006/relationships/activeXControlBinary";
constexpr std::string_view kControlType = "application/vnd.ms-office.activeX+xml";
constexpr std::string_view kControlBinaryType = "application/vnd.ms-office.activeX";
constexpr std::string_view kControlPropertiesRel =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/ctrlProp";
constexpr std::string_view kControlPropertiesType =
    "application/vnd.ms-excel.controlproperties+xml";
constexpr std::string_view kX14Ns = "http://schemas.microsoft.com/office/spreadsheetml/2009/9/main";
constexpr std::string_view kContentTypesPart = "[Content_Types].xml";
constexpr std::string_view kChartRel =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/chart";
constexpr std::string_view kChartType =
    "application/vnd.openxmlformats-officedocument.drawingml.chart+xml";
// Where a chart sheet's chart goes on the sheet the office made of it.
constexpr CellAnchor kChartSheetAnchor{0, 0, 0, 0, 9, 0, 24, 0};
// The first id Excel gives a shape of a sheet's legacy drawing.
constexpr unsigned kFirstShapeId = 1025;

// The parts of a package as read, with the ones this step replaces or adds.
class PackageEdit {
  public:
    explicit PackageEdit(const package::ZipReader& zip) : zip_(zip) {}

    bool Has(const std::string& name) const { return edited_.count(name) != 0 || zip_.Has(name); }
    std::string Read(const std::string& name) const {
        const auto found = edited_.find(name);
        if (found != edited_.end()) {
            return found->second;
        }
        return zip_.Has(name) ? zip_.Read(name) : std::string();
    }
    void Put(const std::string& name, std::string content) { edited_[name] = std::move(content); }
    // The relationships of `part` as edited so far; none when it has no .rels part.
    std::vector<package::Relationship> RelationshipsOf(const std::string& part) const {
        const std::string rels = package::RelationshipsPartOf(part);
        return Has(rels) ? package::ParseRelationships(Read(rels))
                         : std::vector<package::Relationship>{};
    }
    bool Changed() const { return !edited_.empty(); }

    // "xl/embeddings/oleObject3.bin": the first such name no part has.
    std::string FreeName(const std::string& stem, const std::string& extension) const {
        for (unsigned n = 1;; ++n) {
            std::string name = stem + std::to_string(n) + extension;
            if (!Has(name)) {
                return name;
            }
        }
    }

    void Write(const fs::path& target) const {
        package::ZipWriter writer(target);
        for (const std::string& name : zip_.EntryNames()) {
            const auto found = edited_.find(name);
            if (found == edited_.end()) {
                writer.CopyFrom(zip_, name);
            }
        }
        for (const auto& [name, content] : edited_) {
            writer.Add(name, content);
        }
        writer.Commit();
    }

  private:
    const package::ZipReader& zip_;
    std::map<std::string, std::string> edited_;
};

// A target for a relationship of `from` to `to`, relative to `from`'s folder.
std::string RelativeTarget(std::string_view from, std::string_view to) {
    std::string_view folder = from.substr(0, from.rfind('/') + 1);
    std::string up;
    while (!folder.empty() && to.substr(0, folder.size()) != folder) {
        folder.remove_suffix(1);
        folder = folder.substr(0, folder.rfind('/') + 1);
        up += "../";
    }
    return up + std::string(to.substr(folder.size()));
}

// A new child of the worksheet, put before the first of `followers` the schema orders
// after it.
pugi::xml_node InsertInOrder(pugi::xml_node root, std::string_view local,
                             std::initializer_list<std::string_view> followers) {
    const std::string name = package::WithPrefixOf(root, local);
    for (pugi::xml_node child : root.children()) {
        for (const std::string_view follower : followers) {
            if (LocalName(child) == follower) {
                return root.insert_child_before(name.c_str(), child);
            }
        }
    }
    return root.append_child(name.c_str());
}

const char* ExtensionOf(PictureKind kind) {
    switch (kind) {
        case PictureKind::Emf:
            return ".emf";
        case PictureKind::Png:
            return ".png";
        case PictureKind::Jpeg:
            return ".jpeg";
        case PictureKind::Unsupported:
            break;
    }
    return "";
}

const char* ContentTypeOf(PictureKind kind) {
    switch (kind) {
        case PictureKind::Emf:
            return "image/x-emf";
        case PictureKind::Png:
            return "image/png";
        case PictureKind::Jpeg:
            return "image/jpeg";
        case PictureKind::Unsupported:
            break;
    }
    return "";
}

// Where a sheet's legacy drawing adds its objects, and what it holds already.
struct LegacyDrawing {
    std::string part;
    pugi::xml_document document;
    std::vector<package::Relationship> relationships;
    unsigned nextShapeId = kFirstShapeId;
};

constexpr const char* kEmptyVml =
    "<xml xmlns:v=\"urn:schemas-microsoft-com:vml\" "
    "xmlns:o=\"urn:schemas-microsoft-com:office:office\" "
    "xmlns:x=\"urn:schemas-microsoft-com:office:excel\"/>";

// The highest shape number "_x0000_sNNNN" that a text names.
unsigned HighestShapeNumber(std::string_view text) {
    unsigned highest = 0;
    constexpr std::string_view kMark = "_x0000_s";
    for (auto at = text.find(kMark); at != std::string_view::npos; at = text.find(kMark, at + 1)) {
        unsigned number = 0;
        for (std::size_t i = at + kMark.size();
             i < text.size() && i < at + kMark.size() + 9 && text[i] >= '0' && text[i] <= '9';
             ++i) {
            number = number * 10 + static_cast<unsigned>(text[i] - '0');
        }
        highest = std::max(highest, number);
    }
    return highest;
}

void EnsureShapeType(pugi::xml_node root) {
    for (const pugi::xml_node child : root.children()) {
        if (LocalName(child) == "shapetype" &&
            std::string_view(child.attribute("id").value()) == "_x0000_t75") {
            return;
        }
    }
    pugi::xml_node type = root.prepend_child("v:shapetype");
    type.append_attribute("id") = "_x0000_t75";
    type.append_attribute("coordsize") = "21600,21600";
    type.append_attribute("o:spt") = "75";
    type.append_attribute("o:preferrelative") = "t";
    type.append_attribute("path") = "m,l,21600r21600,l21600,xe";
    type.append_attribute("filled") = "f";
    type.append_attribute("stroked") = "f";
    pugi::xml_node path = type.append_child("v:path");
    path.append_attribute("o:extrusionok") = "f";
    path.append_attribute("o:connecttype") = "rect";
    pugi::xml_node lock = type.append_child("o:lock");
    lock.append_attribute("v:ext") = "edit";
    lock.append_attribute("aspectratio") = "t";
}

void EnsureVmlNamespaces(pugi::xml_node root) {
    const std::pair<const char*, const char*> spaces[] = {
        {"xmlns:v", "urn:schemas-microsoft-com:vml"},
        {"xmlns:o", "urn:schemas-microsoft-com:office:office"},
        {"xmlns:x", "urn:schemas-microsoft-com:office:excel"}};
    for (const auto& [name, value] : spaces) {
        if (!root.attribute(name)) {
            root.append_attribute(name) = value;
        }
    }
}

// The object's frame in the legacy drawing: the preview picture, placed by cell.
void AppendObjectShape(pugi::xml_node root, unsigned shapeId, const PixelBox& box,
                       const CellAnchor& anchor, const std::string& pictureId) {
    const std::string id = "_x0000_s" + std::to_string(shapeId);
    pugi::xml_node shape = root.append_child("v:shape");
    shape.append_attribute("id") = id.c_str();
    shape.append_attribute("type") = "#_x0000_t75";
    shape.append_attribute("style") = LegacyShapeStyle(box).c_str();
    shape.append_attribute("filled") = "t";
    shape.append_attribute("fillcolor") = "window [65]";
    shape.append_attribute("stroked") = "t";
    shape.append_attribute("strokecolor") = "windowText [64]";
    shape.append_attribute("o:insetmode") = "auto";
    if (!pictureId.empty()) {
        pugi::xml_node image = shape.append_child("v:imagedata");
        image.append_attribute("o:relid") = pictureId.c_str();
        image.append_attribute("o:title") = "";
    }
    pugi::xml_node data = shape.append_child("x:ClientData");
    data.append_attribute("ObjectType") = "Pict";
    data.append_child("x:SizeWithCells");
    data.append_child("x:Anchor").text() = LegacyAnchorText(anchor, box).c_str();
    data.append_child("x:CF").text() = "Pict";
    data.append_child("x:AutoPict");
}

// A sheet's drawing part, where the object gets an anchor of its own.
struct DrawingPart {
    std::string part;
    pugi::xml_document document;
    std::vector<package::Relationship> relationships;
};

constexpr const char* kEmptyDrawing =
    "<xdr:wsDr xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing\" "
    "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"/>";

// The object as a frame of the drawing. The frame names the embedding the way presentation
// drawings do, which LibreOffice reads as an OLE object and Excel does not; so it stands in
// a choice that requires a PowerPoint namespace: Excel takes the empty fallback and shows
// the object through the legacy drawing and the sheet's oleObject element.
void AppendObjectFrame(pugi::xml_node root, unsigned shapeId, const PixelBox& box,
                       const CellAnchor& anchor, const std::string& progId,
                       const std::string& embeddingId) {
    const std::string r = PrefixOf(root, kRelationshipsNs, "r");
    pugi::xml_node alternate = root.append_child("mc:AlternateContent");
    alternate.append_attribute("xmlns:mc") =
        "http://schemas.openxmlformats.org/markup-compatibility/2006";
    pugi::xml_node choice = alternate.append_child("mc:Choice");
    choice.append_attribute("xmlns:p14") =
        "http://schemas.microsoft.com/office/powerpoint/2010/main";
    choice.append_attribute("Requires") = "p14";
    alternate.append_child("mc:Fallback");

    FrameAnchor added =
        AppendFrameAnchor(root, choice, shapeId, "Object " + std::to_string(shapeId), box, anchor);
    added.anchor.append_attribute("editAs") = "oneCell";
    pugi::xml_node data = added.graphicData;
    data.append_attribute("uri") = "http://schemas.openxmlformats.org/presentationml/2006/ole";
    pugi::xml_node object = data.append_child("p:oleObj");
    object.append_attribute("xmlns:p") =
        "http://schemas.openxmlformats.org/presentationml/2006/main";
    if (!progId.empty()) {
        object.append_attribute("progId") = progId.c_str();
    }
    object.append_attribute((r + ":id").c_str()) = embeddingId.c_str();
    object.append_child("p:embed");
}

// "{8BD21D40-EC42-11CE-9E0D-00AA006002F3}" from the 16 bytes of a class id as stored.
std::string ClassIdText(std::string_view bytes) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    char text[40];
    std::snprintf(text, sizeof text,
                  "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", byte(3),
                  byte(2), byte(1), byte(0), byte(5), byte(4), byte(7), byte(6), byte(8), byte(9),
                  byte(10), byte(11), byte(12), byte(13), byte(14), byte(15));
    return text;
}

// The control part: its class and, in the binary part it relates, the class id followed by
// the control's persisted data, as the control stream holds them.
std::string ControlXml(const std::string& classId) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
           "<ax:ocx xmlns:ax=\"http://schemas.microsoft.com/office/2006/activeX\" "
           "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
           "ax:classid=\"" +
           classId + "\" ax:persistence=\"persistStreamInit\" r:id=\"rId1\"/>";
}

// The part a child element of the worksheet ("drawing", "legacyDrawing") relates, as a zip
// entry name; empty when the sheet has no such element or relationship.
std::string RelatedPart(pugi::xml_node root, const std::string& sheetPart,
                        const std::vector<package::Relationship>& relationships,
                        std::string_view element) {
    const pugi::xml_node child = ChildNamed(root, element);
    const std::string id = AttributeNamed(child, "id").value();
    for (const auto& relationship : relationships) {
        if (child && relationship.id == id && !relationship.external) {
            return package::ResolvePartTarget(sheetPart, relationship.target);
        }
    }
    return {};
}

// "B3:H20": the cells an anchor spans.
std::string RangeName(const CellAnchor& cells) {
    return xlsb::CellName({cells.firstRow, cells.firstColumn}) + ":" +
           xlsb::CellName({cells.lastRow, cells.lastColumn});
}

// Where an object lies: by its own cells, or within its group's; nothing when the source
// placed it neither way.
std::optional<PixelBox> Locate(const std::optional<CellAnchor>& anchor,
                               const std::optional<GroupedAnchor>& grouped,
                               const SheetGeometry& geometry, CellAnchor& cells) {
    if (anchor) {
        cells = *anchor;
        return geometry.Place(*anchor);
    }
    if (grouped) {
        return geometry.PlaceGrouped(*grouped, cells);
    }
    return std::nullopt;
}

class ObjectCarrier {
  public:
    ObjectCarrier(const package::ZipReader& zip, const SourceObjects& source,
                  std::map<std::uint32_t, EmbeddedStorage>& storages, std::string controlStream,
                  biff::FormulaContext formulas, ObjectsReport& report)
        : edit_(zip),
          source_(source),
          formulas_(std::move(formulas)),
          storages_(storages),
          controlStream_(std::move(controlStream)),
          report_(report),
          types_(package::ParseContentTypes(zip.Read(std::string(kContentTypesPart)))) {}

    void Sheet(const std::string& sheetName, const std::string& sheetPart,
               const SheetObjects& sheet) {
        const std::vector<EmbeddedObject>& objects = sheet.embedded;
        pugi::xml_document worksheet;
        package::LoadPart(worksheet, edit_.Read(sheetPart), sheetPart);
        pugi::xml_node root = worksheet.document_element();
        const std::string relsPart = package::RelationshipsPartOf(sheetPart);
        std::vector<package::Relationship> relationships = edit_.RelationshipsOf(sheetPart);
        const std::string r = PrefixOf(root, kRelationshipsNs, "r");
        LegacyDrawing drawing = OpenLegacyDrawing(root, sheetPart, relationships, r);
        // Only embedded objects get a frame in the drawing part.
        std::optional<DrawingPart> frames;
        if (!objects.empty()) {
            frames.emplace(OpenDrawing(root, sheetPart, relationships, r));
            // Shape numbers are unique within the sheet: above any its drawings use already.
            drawing.nextShapeId = std::max(drawing.nextShapeId,
                                           HighestFrameId(frames->document.document_element()) + 1);
        }
        const unsigned firstShapeId = drawing.nextShapeId;
        const SheetGeometry geometry(worksheet);

        pugi::xml_node list = ChildNamed(root, "oleObjects");
        for (const EmbeddedObject& object : objects) {
            const auto storage = storages_.find(object.storageId);
            const std::string what = "the embedded object " + StorageName(object.storageId) +
                                     " on sheet '" + sheetName + "'";
            if (storage == storages_.end()) {
                report_.notes.push_back(what + " is missing from the workbook's file");
                continue;
            }
            CellAnchor cells;
            const std::optional<PixelBox> placed =
                Locate(object.anchor, object.grouped, geometry, cells);
            if (!placed) {
                report_.notes.push_back(what + " has no placement and was left out");
                continue;
            }
            // The storage's own identifier; else the record's class name when it is one.
            const std::string progId =
                !storage->second.progId.empty() ? storage->second.progId
                : IsProgId(object.className) && object.className.find('.') != std::string::npos
                    ? object.className
                    : std::string();
            const std::string embedding = edit_.FreeName("xl/embeddings/oleObject", ".bin");
            edit_.Put(embedding, storage->second.compoundFile);
            types_.overrides[embedding] = kOleObjectType;
            const std::string objectId = package::AddRelationship(
                relationships, kOleObjectRel, RelativeTarget(sheetPart, embedding));
            const std::string pictureId = AddPreview(object.previewPicture, drawing);
            const unsigned shapeId = drawing.nextShapeId++;
            const PixelBox box = *placed;
            AppendObjectShape(drawing.document.document_element(), shapeId, box, cells, pictureId);
            AppendObjectFrame(frames->document.document_element(), shapeId, box, cells, progId,
                              package::AddRelationship(frames->relationships, kOleObjectRel,
                                                       RelativeTarget(frames->part, embedding)));
            if (!list) {
                list = InsertInOrder(
                    root, "oleObjects",
                    {"controls", "AlternateContent", "webPublishItems", "tableParts", "extLst"});
            }
            pugi::xml_node element =
                list.append_child(package::WithPrefixOf(root, "oleObject").c_str());
            if (!progId.empty()) {
                element.append_attribute("progId") = progId.c_str();
            }
            element.append_attribute("shapeId") = shapeId;
            element.append_attribute((r + ":id").c_str()) = objectId.c_str();
            ++report_.embeddedCarried;
        }
        AddControls(sheetName, sheetPart, sheet.controls, root, relationships, r, geometry,
                    drawing);
        AddFormControls(sheetName, sheetPart, sheet.formControls, root, relationships, r, geometry,
                        drawing);
        if (drawing.nextShapeId == firstShapeId) {
            return;  // nothing was added to this sheet
        }
        edit_.Put(sheetPart, package::SavePart(worksheet));
        edit_.Put(relsPart, package::WriteRelationships(relationships));
        edit_.Put(drawing.part, package::SavePart(drawing.document));
        if (!drawing.relationships.empty()) {
            edit_.Put(package::RelationshipsPartOf(drawing.part),
                      package::WriteRelationships(drawing.relationships));
        }
        if (frames) {
            edit_.Put(frames->part, package::SavePart(frames->document));
            edit_.Put(package::RelationshipsPartOf(frames->part),
                      package::WriteRelationships(frames->relationships));
        }
    }

    // Charts the office lost: each written from its records where its kind allows, else
    // named in the report.
    void Charts(const std::string& sheetName, const std::string& sheetPart,
                const std::vector<SheetChart>& charts, std::span<const std::uint8_t> stream) {
        pugi::xml_document worksheet;
        package::LoadPart(worksheet, edit_.Read(sheetPart), sheetPart);
        pugi::xml_node root = worksheet.document_element();
        const std::string relsPart = package::RelationshipsPartOf(sheetPart);
        std::vector<package::Relationship> relationships = edit_.RelationshipsOf(sheetPart);
        std::vector<FramePosition> frames;
        const std::string existing = RelatedPart(root, sheetPart, relationships, "drawing");
        if (!existing.empty() && edit_.Has(existing)) {
            pugi::xml_document drawing;
            package::LoadPart(drawing, edit_.Read(existing), existing);
            frames = ChartFramesIn(drawing.document_element());
        }
        const std::vector<std::size_t> missing = MissingCharts(charts, frames);
        if (missing.empty()) {
            return;
        }
        const SheetGeometry geometry(worksheet);
        std::optional<DrawingPart> drawing;
        for (const std::size_t index : missing) {
            const SheetChart& source = charts[index];
            const CellAnchor cells = source.anchor.value_or(kChartSheetAnchor);
            const std::string where = "on sheet '" + sheetName + "' at " + RangeName(cells);
            charts::Chart chart;
            try {
                chart = charts::ReadChart(stream.subspan(source.offset, source.size));
            } catch (const biff::BiffError& error) {
                report_.notes.push_back("the chart " + where + " is damaged (" + error.what() +
                                        ") and is missing");
                continue;
            }
            if (!charts::Writable(chart)) {
                report_.notes.push_back("the " + charts::KindName(chart) + " chart " + where +
                                        " is of a kind that cannot be written and is missing");
                continue;
            }
            for (const std::string& note : chart.notes) {
                report_.notes.push_back("the chart " + where + ": " + note);
            }
            if (charts::DecodeReferences(chart, formulas_) > 0) {
                report_.notes.push_back("the chart " + where +
                                        " keeps the values it showed where its references "
                                        "cannot be written");
            }
            if (!drawing) {
                const std::string r = PrefixOf(root, kRelationshipsNs, "r");
                drawing.emplace(OpenDrawing(root, sheetPart, relationships, r));
            }
            const std::string part = edit_.FreeName("xl/charts/chart", ".xml");
            edit_.Put(part, charts::ChartSpaceXml(chart));
            types_.overrides[part] = kChartType;
            const std::string id = package::AddRelationship(drawing->relationships, kChartRel,
                                                            RelativeTarget(drawing->part, part));
            const pugi::xml_node drawingRoot = drawing->document.document_element();
            AppendChartFrame(drawingRoot, HighestFrameId(drawingRoot) + 1, geometry.Place(cells),
                             cells, id);
            ++report_.chartsWritten;
        }
        if (!drawing) {
            return;
        }
        edit_.Put(sheetPart, package::SavePart(worksheet));
        edit_.Put(relsPart, package::WriteRelationships(relationships));
        edit_.Put(drawing->part, package::SavePart(drawing->document));
        edit_.Put(package::RelationshipsPartOf(drawing->part),
                  package::WriteRelationships(drawing->relationships));
    }

    void Finish(const fs::path& target) {
        if (!edit_.Changed()) {
            return;
        }
        edit_.Put(std::string(kContentTypesPart), package::WriteContentTypes(types_));
        edit_.Write(target);
    }

    bool Changed() const { return edit_.Changed(); }

    // What the result holds of the kinds the office may drop unannounced.
    SheetTally TallyResult(const std::string& sheetPart) const {
        SheetTally tally;
        pugi::xml_document worksheet;
        package::LoadPart(worksheet, edit_.Read(sheetPart), sheetPart);
        const pugi::xml_node root = worksheet.document_element();
        TallyWorksheet(root, tally);
        const auto relationships = edit_.RelationshipsOf(sheetPart);
        for (const auto& relationship : relationships) {
            if (relationship.external || !package::HasRelationshipKind(relationship, "comments")) {
                continue;
            }
            const std::string part = package::ResolvePartTarget(sheetPart, relationship.target);
            if (edit_.Has(part)) {
                pugi::xml_document comments;
                package::LoadPart(comments, edit_.Read(part), part);
                TallyComments(comments.document_element(), tally);
            }
        }
        const std::string drawingPart = RelatedPart(root, sheetPart, relationships, "drawing");
        if (!drawingPart.empty() && edit_.Has(drawingPart)) {
            pugi::xml_document drawing;
            package::LoadPart(drawing, edit_.Read(drawingPart), drawingPart);
            TallyDrawing(drawing.document_element(), tally);
        }
        return tally;
    }

    // The sheet's first view freezes the panes the source froze.
    void FreezePane(const std::string& sheetPart, const FrozenPane& pane) {
        pugi::xml_document worksheet;
        package::LoadPart(worksheet, edit_.Read(sheetPart), sheetPart);
        if (RestoreFrozenPane(worksheet.document_element(), pane)) {
            edit_.Put(sheetPart, package::SavePart(worksheet));
            ++report_.frozenPanesRestored;
        }
    }

    // The office's form controls get the placement their legacy drawing gives them.
    void PlaceFormControlsOf(const std::string& sheetPart) {
        const std::string text = edit_.Read(sheetPart);
        if (text.find("controlPr") == std::string::npos) {
            return;
        }
        pugi::xml_document worksheet;
        package::LoadPart(worksheet, text, sheetPart);
        const pugi::xml_node root = worksheet.document_element();
        const std::string relsPart = package::RelationshipsPartOf(sheetPart);
        if (!edit_.Has(relsPart)) {
            return;
        }
        const auto relationships = package::ParseRelationships(edit_.Read(relsPart));
        const std::string vmlPart = RelatedPart(root, sheetPart, relationships, "legacyDrawing");
        if (vmlPart.empty() || !edit_.Has(vmlPart)) {
            return;
        }
        pugi::xml_document vml;
        package::LoadPart(vml, edit_.Read(vmlPart), vmlPart);
        const std::string drawingPart = RelatedPart(root, sheetPart, relationships, "drawing");
        pugi::xml_document drawing;
        if (!drawingPart.empty() && edit_.Has(drawingPart)) {
            package::LoadPart(drawing, edit_.Read(drawingPart), drawingPart);
        }
        const std::size_t placed =
            PlaceFormControls(root, vml.document_element(), drawing.document_element());
        if (placed == 0) {
            return;
        }
        edit_.Put(sheetPart, package::SavePart(worksheet));
        if (drawing.document_element()) {
            edit_.Put(drawingPart, package::SavePart(drawing));
        }
        report_.formControlsPlaced += placed;
    }

  private:
    // ActiveX controls: each a control part with its binary part, a shape in the legacy
    // drawing and a control element of the sheet.
    void AddControls(const std::string& sheetName, const std::string& sheetPart,
                     const std::vector<ControlObject>& controls, pugi::xml_node root,
                     std::vector<package::Relationship>& relationships, const std::string& r,
                     const SheetGeometry& geometry, LegacyDrawing& drawing) {
        pugi::xml_node list = ChildNamed(root, "controls");
        // The office writes form controls in a compatibility block of controls; a second
        // list beside it would break the sheet.
        const bool formControls = root.select_node(
                                      "./*[local-name()='AlternateContent']"
                                      "//*[local-name()='controls']") != nullptr;
        for (const ControlObject& control : controls) {
            const std::string what =
                "the ActiveX control " +
                (control.name.empty() ? std::string() : "'" + control.name + "' ") + "on sheet '" +
                sheetName + "'";
            constexpr std::size_t kClassIdSize = 16;
            if (control.streamSize < kClassIdSize || control.streamOffset > controlStream_.size() ||
                control.streamSize > controlStream_.size() - control.streamOffset) {
                report_.notes.push_back(what + " has no data in the workbook's control stream");
                continue;
            }
            CellAnchor cells;
            const std::optional<PixelBox> placed =
                Locate(control.anchor, control.grouped, geometry, cells);
            if (!placed) {
                report_.notes.push_back(what + " has no placement and was left out");
                continue;
            }
            if (formControls) {
                report_.notes.push_back(what +
                                        " cannot be placed beside the sheet's form controls");
                continue;
            }
            const std::string data =
                controlStream_.substr(control.streamOffset, control.streamSize);
            const std::string part = edit_.FreeName("xl/activeX/activeX", ".xml");
            const std::string binary = part.substr(0, part.size() - 4) + ".bin";
            edit_.Put(part, ControlXml(ClassIdText(data)));
            edit_.Put(binary, data);
            edit_.Put(package::RelationshipsPartOf(part),
                      package::WriteRelationships({{"rId1", std::string(kControlBinaryRel),
                                                    RelativeTarget(part, binary), false}}));
            types_.overrides[part] = kControlType;
            types_.overrides[binary] = kControlBinaryType;
            const std::string id = package::AddRelationship(relationships, kControlRel,
                                                            RelativeTarget(sheetPart, part));
            const unsigned shapeId = drawing.nextShapeId++;
            AppendObjectShape(drawing.document.document_element(), shapeId, *placed, cells,
                              AddPreview(control.previewPicture, drawing));
            if (!list) {
                list = InsertInOrder(root, "controls", {"webPublishItems", "tableParts", "extLst"});
            }
            pugi::xml_node element =
                list.append_child(package::WithPrefixOf(root, "control").c_str());
            element.append_attribute("shapeId") = shapeId;
            element.append_attribute((r + ":id").c_str()) = id.c_str();
            if (!control.name.empty()) {
                element.append_attribute("name") = control.name.c_str();
            }
            ++report_.controlsCarried;
        }
    }

    // Form controls of the source that the legacy drawing lacks. The office names the shapes
    // it keeps as Excel does ("Check Box 64"), but may move one by a cell: a shape of the
    // same name is the control's conversion, else one at the same top-left cell.
    void AddFormControls(const std::string& sheetName, const std::string& sheetPart,
                         const std::vector<FormControl>& controls, pugi::xml_node root,
                         std::vector<package::Relationship>& relationships, const std::string& r,
                         const SheetGeometry& geometry, LegacyDrawing& drawing) {
        if (controls.empty()) {
            return;
        }
        std::vector<DrawnControl> drawn = DrawnFormControls(drawing.document.document_element());
        pugi::xml_node list;
        for (const FormControl& control : controls) {
            const std::optional<FormControlKind> kind = KindOfFormControl(control.objectType);
            if (!kind) {
                continue;
            }
            const std::string name = FormControlName(control, *kind);
            const std::string what = "the form control '" + name + "' on sheet '" + sheetName + "'";
            CellAnchor cells;
            const std::optional<PixelBox> placed =
                Locate(control.anchor, control.grouped, geometry, cells);
            if (!placed) {
                report_.notes.push_back(what + " has no placement and was left out");
                continue;
            }
            auto same = std::find_if(drawn.begin(), drawn.end(),
                                     [&](const DrawnControl& shape) { return shape.name == name; });
            if (same == drawn.end()) {
                same = std::find_if(drawn.begin(), drawn.end(), [&](const DrawnControl& shape) {
                    return shape.column == cells.firstColumn && shape.row == cells.firstRow;
                });
            }
            if (same != drawn.end()) {
                drawn.erase(same);
                continue;
            }
            if (!list) {
                list = FormControlList(root);
            }
            if (!list) {
                report_.notes.push_back(what +
                                        " cannot be placed beside the sheet's ActiveX "
                                        "controls and was left out");
                continue;
            }
            FormControlFormulas formulas;
            const std::pair<const std::vector<std::uint8_t>*, std::string*> texts[] = {
                {&control.macro, &formulas.macro},
                {&control.link, &formulas.link},
                {&control.listRange, &formulas.listRange}};
            for (const auto& [tokens, text] : texts) {
                if (tokens->empty()) {
                    continue;
                }
                biff::FormulaText decoded = biff::DecodeFormula(*tokens, formulas_);
                if (decoded.error.empty()) {
                    *text = std::move(decoded.text);
                } else {
                    const char* which = text == &formulas.macro  ? "the macro it runs"
                                        : text == &formulas.link ? "its linked cell"
                                                                 : "the cells of its list";
                    report_.notes.push_back(what + " is rebuilt without " + which + " (" +
                                            decoded.error + ")");
                }
            }
            // A macro of this workbook is named through its own book, as "[0]!Macro1".
            if (!formulas.macro.empty() && formulas.macro.find('!') == std::string::npos) {
                formulas.macro = "[0]!" + formulas.macro;
            }
            const std::string part = edit_.FreeName("xl/ctrlProps/ctrlProp", ".xml");
            edit_.Put(part, FormControlPropertiesXml(control, *kind, formulas));
            types_.overrides[part] = kControlPropertiesType;
            const std::string id = package::AddRelationship(relationships, kControlPropertiesRel,
                                                            RelativeTarget(sheetPart, part));
            const unsigned shapeId = drawing.nextShapeId++;
            AppendFormControlShape(drawing.document.document_element(), shapeId, *placed, cells,
                                   control, *kind, formulas);
            AppendFormControlEntry(list, PrefixOf(root, kX14Ns, "x14"),
                                   PrefixOf(root, kSpreadsheetDrawingNs, "xdr"), shapeId, id, r,
                                   name, formulas.macro, cells, *placed);
            ++report_.formControlsRebuilt;
        }
    }

    // The sheet's list of form controls, in its compatibility block; made when missing.
    // Nothing when the sheet lists ActiveX controls, which take the same place.
    static pugi::xml_node FormControlList(pugi::xml_node root) {
        const pugi::xpath_node found = root.select_node(
            "./*[local-name()='AlternateContent']/*[local-name()='Choice']"
            "/*[local-name()='controls']");
        if (found) {
            return found.node();
        }
        if (ChildNamed(root, "controls")) {
            return {};
        }
        pugi::xml_node block =
            InsertInOrder(root, "AlternateContent", {"webPublishItems", "tableParts", "extLst"});
        block.set_name("mc:AlternateContent");
        block.append_attribute("xmlns:mc") =
            "http://schemas.openxmlformats.org/markup-compatibility/2006";
        pugi::xml_node choice = block.append_child("mc:Choice");
        choice.append_attribute("Requires") = PrefixOf(root, kX14Ns, "x14").c_str();
        return choice.append_child(package::WithPrefixOf(root, "controls").c_str());
    }

    // Where a kind of part hangs off a sheet: its element, the name of a new one, what a
    // new one holds and the elements the sheet's element must precede.
    struct SheetPartKind {
        std::string_view element;
        std::string_view stem;
        std::string_view extension;
        std::string_view relationshipType;
        const char* emptyText;
        std::initializer_list<std::string_view> followers;
    };
    struct OpenedPart {
        std::string part;
        std::string text;
        bool created = false;
    };

    // The sheet's part of that kind, made and pointed at from the sheet when it has none.
    OpenedPart OpenSheetPart(pugi::xml_node root, const std::string& sheetPart,
                             std::vector<package::Relationship>& relationships,
                             const std::string& r, const SheetPartKind& kind) {
        OpenedPart opened;
        opened.part = RelatedPart(root, sheetPart, relationships, kind.element);
        if (!opened.part.empty() && edit_.Has(opened.part)) {
            opened.text = edit_.Read(opened.part);
            return opened;
        }
        opened.created = true;
        opened.part = edit_.FreeName(std::string(kind.stem), std::string(kind.extension));
        opened.text = kind.emptyText;
        const std::string id = package::AddRelationship(relationships, kind.relationshipType,
                                                        RelativeTarget(sheetPart, opened.part));
        pugi::xml_node element = ChildNamed(root, kind.element);
        if (!element) {
            element = InsertInOrder(root, kind.element, kind.followers);
        }
        element.remove_attribute(AttributeNamed(element, "id"));
        element.append_attribute((r + ":id").c_str()) = id.c_str();
        return opened;
    }

    LegacyDrawing OpenLegacyDrawing(pugi::xml_node root, const std::string& sheetPart,
                                    std::vector<package::Relationship>& relationships,
                                    const std::string& r) {
        const OpenedPart opened = OpenSheetPart(
            root, sheetPart, relationships, r,
            {.element = "legacyDrawing",
             .stem = "xl/drawings/vmlDrawing",
             .extension = ".vml",
             .relationshipType = kVmlDrawingRel,
             .emptyText = kEmptyVml,
             .followers = {"legacyDrawingHF", "drawingHF", "picture", "oleObjects", "controls",
                           "AlternateContent", "webPublishItems", "tableParts", "extLst"}});
        if (opened.created && types_.TypeOf(opened.part).empty()) {
            types_.defaults["vml"] = kVmlType;
        }
        LegacyDrawing drawing;
        drawing.part = opened.part;
        package::LoadPart(drawing.document, opened.text, drawing.part);
        drawing.relationships = edit_.RelationshipsOf(drawing.part);
        drawing.nextShapeId = std::max({kFirstShapeId, HighestShapeNumber(opened.text) + 1,
                                        HighestShapeIdAttribute(root) + 1});
        pugi::xml_node vml = drawing.document.document_element();
        EnsureVmlNamespaces(vml);
        EnsureShapeType(vml);
        return drawing;
    }

    DrawingPart OpenDrawing(pugi::xml_node root, const std::string& sheetPart,
                            std::vector<package::Relationship>& relationships,
                            const std::string& r) {
        const OpenedPart opened =
            OpenSheetPart(root, sheetPart, relationships, r,
                          {.element = "drawing",
                           .stem = "xl/drawings/drawing",
                           .extension = ".xml",
                           .relationshipType = kDrawingRel,
                           .emptyText = kEmptyDrawing,
                           .followers = {"legacyDrawing", "legacyDrawingHF", "drawingHF", "picture",
                                         "oleObjects", "controls", "AlternateContent",
                                         "webPublishItems", "tableParts", "extLst"}});
        if (opened.created) {
            types_.overrides[opened.part] = kDrawingType;
        }
        DrawingPart drawing;
        drawing.part = opened.part;
        package::LoadPart(drawing.document, opened.text, drawing.part);
        drawing.relationships = edit_.RelationshipsOf(drawing.part);
        return drawing;
    }

    static unsigned HighestShapeIdAttribute(pugi::xml_node root) {
        unsigned highest = 0;
        for (const pugi::xpath_node node : root.select_nodes("//*[@shapeId]")) {
            highest = std::max(highest, node.node().attribute("shapeId").as_uint());
        }
        return highest;
    }

    // The preview picture as a part related from the legacy drawing; its id, or empty when
    // the source holds none this step can place.
    std::string AddPreview(std::size_t previewPicture, LegacyDrawing& drawing) {
        if (previewPicture == 0 || previewPicture > source_.pictures.size()) {
            return {};
        }
        const StoredPicture& picture = source_.pictures[previewPicture - 1];
        if (picture.kind == PictureKind::Unsupported) {
            return {};
        }
        const std::string extension = ExtensionOf(picture.kind);
        const std::string part = edit_.FreeName("xl/media/image", extension);
        edit_.Put(part, picture.bytes);
        if (types_.TypeOf(part).empty()) {
            types_.defaults[extension.substr(1)] = ContentTypeOf(picture.kind);
        }
        return package::AddRelationship(drawing.relationships, kImageRel,
                                        RelativeTarget(drawing.part, part));
    }

    PackageEdit edit_;
    const SourceObjects& source_;
    // What the charts' references and the form controls' formulas are decoded in.
    const biff::FormulaContext formulas_;
    std::map<std::uint32_t, EmbeddedStorage>& storages_;
    std::string controlStream_;
    ObjectsReport& report_;
    package::ContentTypes types_;
};

// Charts in the package: a chart frame in any drawing (chart sheets have one too).
std::size_t ChartsInPackage(const package::ZipReader& zip) {
    std::size_t charts = 0;
    for (const std::string& name : zip.EntryNames()) {
        if (name.rfind("xl/drawings/", 0) != 0 || name.size() < 4 ||
            name.compare(name.size() - 4, 4, ".xml") != 0) {
            continue;
        }
        pugi::xml_document drawing;
        const std::string xml = zip.Read(name);
        if (!drawing.load_buffer(xml.data(), xml.size())) {
            continue;
        }
        for (const pugi::xpath_node frame : drawing.select_nodes("//*[@uri]")) {
            const std::string_view uri = frame.node().attribute("uri").value();
            if (LocalName(frame.node()) == "graphicData" && uri.size() >= 6 &&
                uri.substr(uri.size() - 6) == "/chart") {
                ++charts;
            }
        }
    }
    return charts;
}

void KeepPackage(const fs::path& packageIn, const fs::path& packageOut) {
    std::error_code error;
    if (!fs::equivalent(packageIn, packageOut, error)) {
        fs::copy_file(packageIn, packageOut, fs::copy_options::overwrite_existing);
    }
}

}  // namespace

ObjectsReport CarryObjects(const fs::path& xls, const fs::path& packageIn,
                           const fs::path& packageOut) {
    ObjectsReport report;
    std::vector<std::uint8_t> stream;
    SourceObjects source;
    std::vector<biff::Sheet> sheets;
    biff::FormulaContext formulas;
    try {
        stream = biff::ReadWorkbookStreamFromFile(xls);
        source = ReadSourceObjects(stream);
        biff::Workbook workbook =
            biff::ReadWorkbookStream(stream, biff::ReadOptions{.cells = false, .names = true});
        sheets = std::move(workbook.sheets);
        std::vector<std::string> sheetNames;
        for (const biff::Sheet& sheet : sheets) {
            sheetNames.push_back(sheet.name);
        }
        formulas = biff::FormulaContextOf(workbook.names, sheetNames);
    } catch (const biff::BiffError& error) {
        report.notes.push_back(std::string("the workbook's objects cannot be read: ") +
                               error.what());
        KeepPackage(packageIn, packageOut);
        return report;
    }
    report.notes = source.notes;
    std::vector<std::uint32_t> ids;
    for (const SheetObjects& sheet : source.sheets) {
        report.chartsInSource += sheet.charts.size();
        report.embeddedInSource += sheet.embedded.size();
        report.controlsInSource += sheet.controls.size();
        report.formControlsInSource += sheet.formControls.size();
        for (const EmbeddedObject& object : sheet.embedded) {
            ids.push_back(object.storageId);
        }
    }
    const package::ZipReader zip(packageIn);
    report.chartsInResult = ChartsInPackage(zip);
    std::map<std::uint32_t, EmbeddedStorage> storages;
    std::string controlStream;
    try {
        storages = ReadEmbeddedStorages(xls, ids);
        if (report.controlsInSource > 0) {
            controlStream = ReadControlStream(xls);
        }
    } catch (const vba::VbaError& error) {
        report.notes.push_back(std::string("the embedded objects cannot be read: ") + error.what());
    }
    std::map<std::string, std::string> partOfSheet;
    const auto worksheets = cellexact::WorksheetParts(zip);
    for (const auto& sheet : worksheets) {
        partOfSheet.emplace(sheet.name, sheet.part);
    }
    ObjectCarrier carrier(zip, source, storages, std::move(controlStream), std::move(formulas),
                          report);
    for (std::size_t i = 0; i < source.sheets.size(); ++i) {
        const SheetObjects& objects = source.sheets[i];
        if (objects.charts.empty() || report.chartsInResult >= report.chartsInSource) {
            continue;
        }
        const std::string name = i < sheets.size() ? sheets[i].name : std::to_string(i + 1);
        const auto part = partOfSheet.find(name);
        if (part == partOfSheet.end()) {
            report.notes.push_back(std::to_string(objects.charts.size()) + " charts of sheet '" +
                                   name + "' have no sheet to go to");
            continue;
        }
        try {
            carrier.Charts(name, part->second, objects.charts, stream);
        } catch (const package::PackageError& error) {
            report.notes.push_back("the charts of sheet '" + name +
                                   "' cannot be added: " + error.what());
        }
    }
    for (std::size_t i = 0; i < source.sheets.size(); ++i) {
        const SheetObjects& objects = source.sheets[i];
        if (objects.embedded.empty() && objects.controls.empty() && objects.formControls.empty()) {
            continue;
        }
        const std::string name = i < sheets.size() ? sheets[i].name : std::to_string(i + 1);
        const auto part = partOfSheet.find(name);
        if (part == partOfSheet.end()) {
            report.notes.push_back(std::to_string(objects.embedded.size() +
                                                  objects.controls.size() +
                                                  objects.formControls.size()) +
                                   " objects of sheet '" + name + "' have no sheet to go to");
            continue;
        }
        try {
            carrier.Sheet(name, part->second, objects);
        } catch (const vba::VbaError& error) {
            report.notes.push_back("the objects of sheet '" + name +
                                   "' cannot be added: " + error.what());
        } catch (const package::PackageError& error) {
            report.notes.push_back("the objects of sheet '" + name +
                                   "' cannot be added: " + error.what());
        }
    }
    for (std::size_t i = 0; i < source.sheets.size() && i < sheets.size(); ++i) {
        const auto part = partOfSheet.find(sheets[i].name);
        if (!source.sheets[i].frozenPane || part == partOfSheet.end()) {
            continue;
        }
        try {
            carrier.FreezePane(part->second, *source.sheets[i].frozenPane);
        } catch (const package::PackageError& error) {
            report.notes.push_back("the frozen panes of sheet '" + sheets[i].name +
                                   "' cannot be restored: " + error.what());
        }
    }
    for (const auto& sheet : worksheets) {
        try {
            carrier.PlaceFormControlsOf(sheet.part);
        } catch (const vba::VbaError& error) {
            report.notes.push_back("the form controls of sheet '" + sheet.name +
                                   "' cannot be placed: " + error.what());
        } catch (const package::PackageError& error) {
            report.notes.push_back("the form controls of sheet '" + sheet.name +
                                   "' cannot be placed: " + error.what());
        }
    }
    // What is neither kept nor rebuilt is at least named.
    for (std::size_t i = 0; i < source.sheets.size() && i < sheets.size(); ++i) {
        const SheetTally& had = source.sheets[i].tally;
        if (had.conditionalFormats + had.hyperlinks + had.comments + had.shapes == 0) {
            continue;
        }
        SheetTally kept;
        const auto part = partOfSheet.find(sheets[i].name);
        try {
            if (part != partOfSheet.end()) {
                kept = carrier.TallyResult(part->second);
            }
        } catch (const package::PackageError& error) {
            report.notes.push_back("what sheet '" + sheets[i].name +
                                   "' kept cannot be counted: " + error.what());
            continue;
        }
        for (std::string& note : LossNotes(sheets[i].name, had, kept)) {
            report.notes.push_back(std::move(note));
        }
    }
    report.chartsInResult += report.chartsWritten;
    if (!carrier.Changed()) {
        KeepPackage(packageIn, packageOut);
        return report;
    }
    carrier.Finish(packageOut);
    return report;
}

}  // namespace tabrook::calcserver::objects
