#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <iterator>
#include <pugixml.hpp>
#include <sstream>

#include "calcserver/finish/package_check.h"
#include "calcserver/objects/carry_objects.h"
#include "calcserver/objects/embedded_storages.h"
#include "calcserver/objects/form_control_anchors.h"
#include "calcserver/objects/frozen_panes.h"
#include "calcserver/objects/source_objects.h"
#include "calcserver/package/zip_package.h"
#include "objects/objects_fixture.h"
#include "support/temp_dir.h"

namespace tabrook::calcserver::objects {
namespace {

using namespace tabrook::testing::biff;
using tabrook::testing::TempDir;
using testing::Art;
using ::testing::ElementsAre;
using testing::EmbeddedObj;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::PictureGroup;
using testing::ShapeDrawing;

SourceObjects Read(const std::vector<Bytes>& globals, const std::vector<Bytes>& sheet) {
    const Bytes stream = WorkbookStream(globals, {{"Data", sheet}});
    return ReadSourceObjects(stream);
}

TEST(SourceObjects, AnEmbeddedObjectKeepsItsStoragePlacementAndPreview) {
    const SourceObjects read =
        Read({PictureGroup("PNGDATA")}, {ShapeDrawing(1), EmbeddedObj(7, 0x0435D8BE)});
    ASSERT_EQ(read.sheets.size(), 1u);
    ASSERT_EQ(read.sheets[0].embedded.size(), 1u);
    const EmbeddedObject& object = read.sheets[0].embedded[0];
    EXPECT_EQ(object.storageId, 0x0435D8BEu);
    EXPECT_EQ(object.objectId, 7);
    EXPECT_EQ(object.previewPicture, 1u);
    ASSERT_TRUE(object.anchor);
    EXPECT_EQ(object.anchor->firstColumn, 1);
    EXPECT_EQ(object.anchor->firstColumnOffset, 512);
    EXPECT_EQ(object.anchor->lastRow, 6);
    ASSERT_EQ(read.pictures.size(), 1u);
    EXPECT_EQ(read.pictures[0].kind, PictureKind::Png);
    EXPECT_EQ(read.pictures[0].bytes, "PNGDATA");
    EXPECT_EQ(StorageName(object.storageId), "MBD0435D8BE");
}

// A drawing record whose container says it is longer than the record.
Bytes CutDrawing() {
    const Bytes whole = Art(0xF, 0, 0xF004, Art(0, 0, 0xF010, Bytes(18, 1)));
    return Record(0x00EC, Bytes(whole.begin(), whole.begin() + 20));
}

TEST(SourceObjects, OnlyEmbeddedObjectsOfTheSheetItselfCount) {
    const struct {
        const char* what;
        std::vector<Bytes> sheet;
        std::size_t embedded;
        std::size_t charts;
    } cases[] = {
        {"an ActiveX control", {ShapeDrawing(0), EmbeddedObj(1, 1, true)}, 0, 0},
        {"an object without drawing records", {EmbeddedObj(1, 5)}, 1, 0},
        // The chart's own objects belong to the chart.
        {"an embedded chart",
         {Bof(0x0020), ShapeDrawing(0), EmbeddedObj(1, 5), Eof(), EmbeddedObj(2, 6)},
         1,
         1},
        // A drawing container that goes on past its record is read as far as it goes.
        {"a cut-off drawing", {CutDrawing(), EmbeddedObj(1, 5)}, 1, 0},
    };
    for (const auto& c : cases) {
        const SourceObjects read = Read({}, c.sheet);
        ASSERT_EQ(read.sheets.size(), 1u) << c.what;
        EXPECT_EQ(read.sheets[0].embedded.size(), c.embedded) << c.what;
        EXPECT_EQ(read.sheets[0].charts.size(), c.charts) << c.what;
    }
}

TEST(SourceObjects, TheZerosThatPadAStreamToItsSectorAreNotRecords) {
    // Two empty records' worth and a cut header: what Excel writes after the last sheet.
    const Bytes stream =
        WorkbookStream({}, {{"Data", {ShapeDrawing(0), EmbeddedObj(1, 5)}}}) + Bytes(6, 0);
    EXPECT_EQ(ReadSourceObjects(stream).sheets.at(0).embedded.size(), 1u);
}

TEST(SourceObjects, ADrawingThatGoesOnAfterATextBoxStillPlacesItsObject) {
    const SourceObjects read =
        Read({}, {Record(0x01B6, Bytes(18, 0)), Record(0x003C, Bytes{0, 'T', 'e', 'x', 't'}),
                  Record(0x003C, Bytes(16, 0)), Record(0x003C, testing::ShapeRecords(0)),
                  EmbeddedObj(3, 5, false, "Word.Document.12")});
    ASSERT_EQ(read.sheets.at(0).embedded.size(), 1u);
    EXPECT_TRUE(read.sheets[0].embedded[0].anchor);
    EXPECT_EQ(read.sheets[0].embedded[0].className, "Word.Document.12");
}

TEST(SourceObjects, AMetafilePreviewIsInflated) {
    const std::string emf(3000, 'E');
    std::string packed(compressBound(emf.size()), '\0');
    uLongf packedSize = packed.size();
    ASSERT_EQ(compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                       reinterpret_cast<const Bytef*>(emf.data()), emf.size()),
              Z_OK);
    packed.resize(packedSize);
    const Bytes header = Le32(static_cast<std::uint32_t>(emf.size())) + Bytes(24, 0) +
                         Le32(static_cast<std::uint32_t>(packed.size())) + Bytes{0, 0xFE};
    const Bytes blip =
        Art(0, 0x3D4, 0xF01A, Bytes(16, 1) + header + Bytes(packed.begin(), packed.end()));
    const Bytes entry = Art(2, 2, 0xF007, Bytes(36, 0) + blip);
    const SourceObjects read =
        Read({Record(0x00EB, Art(0xF, 0, 0xF000, Art(0xF, 1, 0xF001, entry)))}, {});
    ASSERT_EQ(read.pictures.size(), 1u);
    EXPECT_EQ(read.pictures[0].kind, PictureKind::Emf);
    EXPECT_EQ(read.pictures[0].bytes, emf);
}

TEST(CompObj, NamesTheProgIdOnlyWhenWellFormed) {
    const std::string good = testing::CompObj("Excel.Sheet.12");
    const struct {
        std::string stream;
        std::string progId;
    } cases[] = {
        {good, "Excel.Sheet.12"},
        {good.substr(0, good.size() - 3), ""},  // cut off
        {testing::CompObj("Bad Name\x01"), ""},
        {std::string(10, '\0'), ""},
    };
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> bytes(c.stream.begin(), c.stream.end());
        EXPECT_EQ(ProgIdOfCompObj(bytes), c.progId);
    }
}

Bytes Window2(std::uint16_t flags) {
    return Record(0x023E, Le16(flags) + Bytes(16, 0));
}
// x split, y split, top row and left column of the lower right pane, active pane.
Bytes Pane(std::uint16_t x, std::uint16_t y, std::uint16_t top, std::uint16_t left,
           std::uint8_t active) {
    return Record(0x0041, Le16(x) + Le16(y) + Le16(top) + Le16(left) + Bytes{active, 0});
}

TEST(SourceObjects, OnlyTheFirstWindowsFrozenPaneCounts) {
    constexpr std::uint16_t kFrozen = 0x0108;  // fFrozen | fFrozenNoSplit
    const struct {
        const char* what;
        std::vector<Bytes> sheet;
        bool frozen;
    } cases[] = {
        {"frozen in the first window", {Window2(kFrozen), Pane(4, 3, 31, 4, 0)}, true},
        // A workbook with two windows: the second's freeze is not the sheet's view.
        {"frozen in the second window only",
         {Window2(0), Window2(kFrozen), Pane(4, 3, 31, 4, 0)},
         false},
        {"split, not frozen", {Window2(0), Pane(7395, 4380, 12, 12, 3)}, false},
        {"a pane record cut short", {Window2(kFrozen), Record(0x0041, Le16(4))}, false},
    };
    for (const auto& c : cases) {
        const SourceObjects read = Read({}, c.sheet);
        ASSERT_EQ(read.sheets.size(), 1u) << c.what;
        ASSERT_EQ(read.sheets[0].frozenPane.has_value(), c.frozen) << c.what;
    }
    const FrozenPane pane =
        *Read({}, {Window2(kFrozen), Pane(4, 3, 31, 4, 0)}).sheets[0].frozenPane;
    EXPECT_EQ(pane.columns, 4);
    EXPECT_EQ(pane.rows, 3);
    EXPECT_EQ(pane.topRow, 31);
    EXPECT_FALSE(pane.split);
}

TEST(FrozenPanes, TheFirstViewGetsTheFreezeTheOfficeDropped) {
    constexpr const char* kHead =
        R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)";
    const FrozenPane both{.columns = 4, .rows = 3, .topRow = 31, .leftColumn = 4};
    const FrozenPane rowsOnly{
        .columns = 0, .rows = 5, .topRow = 9, .leftColumn = 0, .activePane = 0};
    const struct {
        const char* what;
        std::string sheet;
        FrozenPane pane;
        const char* expected;  // the first view as written; "" when nothing changes
    } cases[] = {
        {"no view at all", std::string(kHead) + "<dimension ref=\"A1\"/><sheetData/></worksheet>",
         both,
         R"(<sheetView workbookViewId="0"><pane xSplit="4" ySplit="3" topLeftCell="E32" )"
         R"(activePane="bottomRight" state="frozen"/><selection pane="bottomRight" )"
         R"(activeCell="E32" sqref="E32"/></sheetView>)"},
        {"a plain split is replaced, the selection of the pane kept",
         std::string(kHead) +
             R"(<sheetViews><sheetView workbookViewId="0"><pane xSplit="900" ySplit="600"/>)"
             R"(<selection pane="bottomLeft" activeCell="A7" sqref="A7"/></sheetView></sheetViews>)"
             "<sheetData/></worksheet>",
         rowsOnly,
         R"(<sheetView workbookViewId="0"><pane ySplit="5" topLeftCell="A10" )"
         R"(activePane="bottomLeft" state="frozen"/><selection pane="bottomLeft" )"
         R"(activeCell="A7" sqref="A7"/></sheetView>)"},
        {"already frozen",
         std::string(kHead) +
             R"(<sheetViews><sheetView workbookViewId="0"><pane ySplit="1" topLeftCell="A2" )"
             R"(state="frozen"/></sheetView></sheetViews><sheetData/></worksheet>)",
         both, ""},
    };
    for (const auto& c : cases) {
        pugi::xml_document sheet;
        ASSERT_TRUE(sheet.load_string(c.sheet.c_str())) << c.what;
        const bool changed = RestoreFrozenPane(sheet.document_element(), c.pane);
        EXPECT_EQ(changed, *c.expected != '\0') << c.what;
        if (!changed) {
            continue;
        }
        const pugi::xml_node views = sheet.document_element().child("sheetViews");
        // sheetViews stands after the dimension and before the cells.
        EXPECT_STREQ(views.next_sibling().name(), "sheetData") << c.what;
        std::ostringstream written;
        views.first_child().print(written, "", pugi::format_raw);
        EXPECT_EQ(written.str(), c.expected) << c.what;
    }
}

pugi::xml_document Xml(const package::ZipReader& zip, const std::string& part) {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_string(zip.Read(part).c_str())) << part;
    return document;
}

TEST(CarryObjects, AnEmbeddedObjectBecomesAnEmbeddingWithItsShapeAndPreview) {
    TempDir dir;
    const auto xls = dir.Path() / "source.xls";
    const auto package = dir.Path() / "out.xlsx";
    testing::WriteWorkbookWithObject(xls);
    testing::WriteOfficePackage(package);

    const ObjectsReport report = CarryObjects(xls, package, package);
    EXPECT_EQ(report.embeddedInSource, 1u);
    EXPECT_EQ(report.embeddedCarried, 1u);
    EXPECT_THAT(report.notes, IsEmpty());

    const package::ZipReader zip(package);
    const std::string embedding = zip.Read("xl/embeddings/oleObject1.bin");
    EXPECT_EQ(embedding.substr(0, 4), "\xD0\xCF\x11\xE0");
    EXPECT_NE(embedding.find("the document's own bytes"), std::string::npos);
    EXPECT_EQ(zip.Read("xl/media/image1.png"), "PNGDATA");

    const auto sheet = Xml(zip, "xl/worksheets/sheet1.xml");
    const pugi::xml_node root = sheet.document_element();
    const pugi::xml_node object = root.child("oleObjects").child("oleObject");
    EXPECT_STREQ(object.attribute("progId").value(), "Word.Document.8");
    EXPECT_STREQ(object.attribute("shapeId").value(), "1025");
    // Schema order: legacyDrawing and oleObjects before tableParts.
    EXPECT_EQ(root.child("legacyDrawing").next_sibling(), root.child("oleObjects"));
    EXPECT_EQ(root.child("oleObjects").next_sibling(), root.child("tableParts"));

    const auto vml = Xml(zip, "xl/drawings/vmlDrawing1.vml");
    const pugi::xml_node shape =
        vml.document_element().find_child_by_attribute("v:shape", "id", "_x0000_s1025");
    ASSERT_TRUE(shape);
    // Column B is 20 characters wide, 140 pixels; a row of 15 points is 20 pixels.
    EXPECT_STREQ(shape.child("x:ClientData").child_value("x:Anchor"), "1, 70, 2, 10, 3, 0, 6, 0");
    EXPECT_TRUE(shape.child("v:imagedata").attribute("o:relid"));

    // LibreOffice reads the object from the drawing's frame, which Excel passes over.
    const auto drawing = Xml(zip, "xl/drawings/drawing1.xml");
    const pugi::xml_node choice =
        drawing.document_element().child("mc:AlternateContent").child("mc:Choice");
    EXPECT_STREQ(choice.attribute("Requires").value(), "p14");
    const pugi::xml_node frame = choice.child("xdr:twoCellAnchor").child("xdr:graphicFrame");
    EXPECT_STREQ(frame.child("xdr:nvGraphicFramePr").child("xdr:cNvPr").attribute("id").value(),
                 "1025");
    const pugi::xml_node ole = frame.child("a:graphic").child("a:graphicData").child("p:oleObj");
    EXPECT_STREQ(ole.attribute("progId").value(), "Word.Document.8");
    EXPECT_NE(zip.Read("xl/drawings/_rels/drawing1.xml.rels").find("../embeddings/oleObject1.bin"),
              std::string::npos);

    // Every relationship resolves and every part has a type: Excel opens it unrepaired.
    EXPECT_THAT(finish::PackageFaults(package), IsEmpty());
}

TEST(CarryObjects, AnActiveXControlKeepsItsClassDataAndCodeName) {
    TempDir dir;
    const auto xls = dir.Path() / "control.xls";
    const auto package = dir.Path() / "out.xlsm";
    testing::WriteWorkbookWithControl(xls);
    testing::WriteOfficePackage(package);

    const ObjectsReport report = CarryObjects(xls, package, package);
    EXPECT_EQ(report.controlsCarried, 1u);
    EXPECT_THAT(report.notes, IsEmpty());
    const package::ZipReader zip(package);
    const auto control = Xml(zip, "xl/activeX/activeX1.xml");
    EXPECT_STREQ(control.document_element().attribute("ax:classid").value(),
                 "{8BD21D40-EC42-11CE-9E0D-00AA006002F3}");
    EXPECT_EQ(zip.Read("xl/activeX/activeX1.bin").substr(16), "PERSISTED");
    const auto sheet = Xml(zip, "xl/worksheets/sheet1.xml");
    const pugi::xml_node element = sheet.document_element().child("controls").child("control");
    EXPECT_STREQ(element.attribute("name").value(), "CheckBox1");
    EXPECT_STREQ(element.attribute("shapeId").value(), "1025");
    EXPECT_THAT(finish::PackageFaults(package), IsEmpty());
}

// A control of the office's control list, placed nowhere unless `placed`.
std::string FormControl(int shapeId, const std::string& name, bool placed = false) {
    const std::string column = placed ? "4" : "0";
    return "<control shapeId=\"" + std::to_string(shapeId) + "\"><controlPr altText=\"" + name +
           "\"><anchor><from><xdr:col>" + column +
           "</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>0</xdr:row><xdr:rowOff>0</xdr:rowOff>"
           "</from><to><xdr:col>0</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>0</xdr:row>"
           "<xdr:rowOff>0</xdr:rowOff></to></anchor></controlPr></control>";
}

std::string VmlControl(const std::string& name, const std::string& anchor) {
    return "<v:shape ID=\"" + name + "\"><x:ClientData ObjectType=\"Checkbox\"><x:Anchor>" +
           anchor + "</x:Anchor></x:ClientData></v:shape>";
}

TEST(FormControls, EachGetsThePlacementOfItsLegacyShape) {
    pugi::xml_document sheet, vml, drawing;
    ASSERT_TRUE(sheet.load_string(
        ("<worksheet xmlns:xdr=\"x\"><controls>" + FormControl(1001, "Check Box 1") +
         FormControl(1002, "Check Box 2") + FormControl(1003, "Check Box 3", true) +
         FormControl(1004, "No Shape") + "</controls></worksheet>")
            .c_str()));
    ASSERT_TRUE(vml.load_string(("<xml>" + VmlControl("Check Box 2", "2, 5, 10, 3, 4, 0, 12, 7") +
                                 VmlControl("Check Box 1", "1, 0, 3, 0, 2, 10, 4, 1") +
                                 VmlControl("Check Box 3", "9, 9, 9, 9, 9, 9, 9, 9") + "</xml>")
                                    .c_str()));
    ASSERT_TRUE(drawing.load_string(
        "<xdr:wsDr xmlns:xdr=\"x\"><xdr:twoCellAnchor><xdr:from><xdr:col>0</xdr:col>"
        "<xdr:colOff>0</xdr:colOff><xdr:row>0</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:from>"
        "<xdr:to><xdr:col>0</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>0</xdr:row>"
        "<xdr:rowOff>0</xdr:rowOff></xdr:to><xdr:sp><xdr:nvSpPr><xdr:cNvPr id=\"1002\"/>"
        "</xdr:nvSpPr></xdr:sp></xdr:twoCellAnchor></xdr:wsDr>"));

    // The third is placed already and keeps its place; the fourth has no shape.
    EXPECT_EQ(PlaceFormControls(sheet.document_element(), vml.document_element(),
                                drawing.document_element()),
              2u);
    const auto from = [](const pugi::xml_node corner) {
        std::string text;
        for (const pugi::xml_node part : corner.children()) {
            text += std::string(part.child_value()) + " ";
        }
        return text;
    };
    const pugi::xml_node second =
        sheet.document_element().child("controls").find_child_by_attribute("shapeId", "1002");
    EXPECT_EQ(from(second.child("controlPr").child("anchor").child("from")), "2 47625 10 28575 ");
    EXPECT_EQ(from(second.child("controlPr").child("anchor").child("to")), "4 0 12 66675 ");
    const pugi::xml_node third =
        sheet.document_element().child("controls").find_child_by_attribute("shapeId", "1003");
    EXPECT_EQ(from(third.child("controlPr").child("anchor").child("from")), "4 0 0 0 ");
    EXPECT_EQ(from(drawing.document_element().child("xdr:twoCellAnchor").child("xdr:from")),
              "2 47625 10 28575 ");
}

// An OBJ record of a spinner linked to $C$1 (value 40 of 1..50); `flags` as its common
// data holds them.
Bytes SpinnerObj(std::uint16_t objectId, std::uint16_t flags = 0x6011) {
    const Bytes common =
        Le16(0x15) + Le16(18) + Le16(0x10) + Le16(objectId) + Le16(flags) + Bytes(12, 0);
    const Bytes scroll = Le16(0x0C) + Le16(20) + Bytes(4, 0) + Le16(40) + Le16(1) + Le16(50) +
                         Le16(1) + Le16(10) + Le16(0) + Le16(16) + Le16(1);
    const Bytes link = Le16(0x0E) + Le16(12) + Le16(5) + Bytes(4, 0) + Bytes{0x24, 0, 0, 2, 0, 0};
    return Record(0x005D, common + scroll + link + Le32(0));
}

// The TXO record of an object's text and the CONTINUE record with its characters.
Bytes TextOf(const std::string& text) {
    return Record(0x01B6,
                  Bytes(10, 0) + Le16(static_cast<std::uint16_t>(text.size())) + Bytes(6, 0)) +
           Record(0x003C, Bytes{0} + Bytes(text.begin(), text.end()));
}

TEST(CarryObjects, AFormControlTheOfficeDroppedIsRebuiltOnceWithItsLinkAndValues) {
    TempDir dir;
    const auto xls = dir.Path() / "spinner.xls";
    const auto package = dir.Path() / "out.xlsm";
    // The second is a filter's drop-down arrow, which the application makes for itself.
    WriteCompoundFile(
        xls,
        WorkbookStream({}, {{"Data",
                             {Dimensions(1, 1), Number(0, 0, 1), ShapeDrawing(0), SpinnerObj(4),
                              TextOf("Up"), ShapeDrawing(0), SpinnerObj(5, 0x2101)}}}));
    testing::WriteOfficePackage(package);

    const ObjectsReport report = CarryObjects(xls, package, package);
    EXPECT_EQ(report.formControlsInSource, 1u);
    EXPECT_EQ(report.formControlsRebuilt, 1u);
    EXPECT_THAT(report.notes, IsEmpty());
    {
        const package::ZipReader zip(package);
        const auto propertiesPart = Xml(zip, "xl/ctrlProps/ctrlProp1.xml");
        const pugi::xml_node properties = propertiesPart.document_element();
        EXPECT_STREQ(properties.attribute("objectType").value(), "Spin");
        EXPECT_STREQ(properties.attribute("fmlaLink").value(), "$C$1");
        EXPECT_STREQ(properties.attribute("val").value(), "40");
        EXPECT_STREQ(properties.attribute("max").value(), "50");
        const auto vml = Xml(zip, "xl/drawings/vmlDrawing1.vml");
        const pugi::xml_node data = vml.document_element()
                                        .find_child_by_attribute("v:shape", "ID", "Spinner 4")
                                        .child("x:ClientData");
        EXPECT_STREQ(data.attribute("ObjectType").value(), "Spin");
        EXPECT_STREQ(data.child_value("x:FmlaLink"), "$C$1");
        EXPECT_STREQ(data.parent().child("v:textbox").child("div").child_value("font"), "Up");
        EXPECT_EQ(std::string(data.child_value("x:Anchor")).substr(0, 3), "1, ");
        const auto sheet = Xml(zip, "xl/worksheets/sheet1.xml");
        const pugi::xpath_node control = sheet.select_node("//*[local-name()='control']");
        ASSERT_TRUE(control);
        EXPECT_STREQ(control.node().attribute("name").value(), "Spinner 4");
    }
    EXPECT_THAT(finish::PackageFaults(package), IsEmpty());

    // Once drawn, the control is the package's own: a second pass adds no other.
    EXPECT_EQ(CarryObjects(xls, package, package).formControlsRebuilt, 0u);
}

// A converted sheet "Data" with the given cells-and-after XML, comments and drawing.
void WritePackageWith(const std::filesystem::path& file, const std::string& sheetBody,
                      const std::string& comments, const std::string& drawing) {
    constexpr const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    constexpr const char* kRel =
        "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    constexpr const char* kRels = "http://schemas.openxmlformats.org/package/2006/relationships";
    const std::string relsHead = std::string(R"(<Relationships xmlns=")") + kRels + R"(">)";
    package::ZipWriter writer(file);
    writer.Add(
        "[Content_Types].xml",
        R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
        R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
        R"(<Default Extension="xml" ContentType="application/xml"/></Types>)");
    writer.Add("_rels/.rels", relsHead + R"(<Relationship Id="rId1" Type=")" + kRel +
                                  R"(/officeDocument" Target="xl/workbook.xml"/></Relationships>)");
    writer.Add("xl/workbook.xml", std::string(R"(<workbook xmlns=")") + kMain + R"(" xmlns:r=")" +
                                      kRel +
                                      R"("><sheets><sheet name="Data" sheetId="1" r:id="rId1"/>)"
                                      R"(</sheets></workbook>)");
    writer.Add("xl/_rels/workbook.xml.rels",
               relsHead + R"(<Relationship Id="rId1" Type=")" + kRel +
                   R"(/worksheet" Target="worksheets/sheet1.xml"/></Relationships>)");
    writer.Add("xl/worksheets/sheet1.xml", std::string(R"(<worksheet xmlns=")") + kMain +
                                               R"(" xmlns:r=")" + kRel + R"("><sheetData/>)" +
                                               sheetBody + R"(<drawing r:id="rId2"/></worksheet>)");
    writer.Add("xl/worksheets/_rels/sheet1.xml.rels",
               relsHead + R"(<Relationship Id="rId1" Type=")" + kRel +
                   R"(/comments" Target="../comments1.xml"/><Relationship Id="rId2" Type=")" +
                   kRel + R"(/drawing" Target="../drawings/drawing1.xml"/></Relationships>)");
    writer.Add("xl/comments1.xml", std::string(R"(<comments xmlns=")") + kMain +
                                       R"("><commentList>)" + comments +
                                       "</commentList></comments>");
    writer.Add(
        "xl/drawings/drawing1.xml",
        R"(<xdr:wsDr xmlns:xdr="http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing">)" +
            drawing + "</xdr:wsDr>");
    writer.Commit();
}

// An OBJ record of a drawn shape: a rectangle.
Bytes RectangleObj(std::uint16_t objectId) {
    return Record(0x005D,
                  Le16(0x15) + Le16(18) + Le16(0x02) + Le16(objectId) + Bytes(14, 0) + Le32(0));
}

TEST(CarryObjects, WhatTheOfficeDroppedIsNamedKindByKind) {
    TempDir dir;
    const auto xls = dir.Path() / "kinds.xls";
    // Two rules (an old one and an Excel 2007 one), a hyperlink, a comment, two shapes and
    // a frozen first row.
    WriteCompoundFile(
        xls, WorkbookStream(
                 {}, {{"Data",
                       {Record(0x01B1, Bytes(12, 0)), Record(0x087A, Bytes(12, 0)),
                        Record(0x01B8, Bytes(32, 0)), Record(0x001C, Bytes(12, 0)), RectangleObj(1),
                        RectangleObj(2), Window2(0x0108), Pane(0, 1, 1, 0, 2)}}}));
    const std::string rules =
        R"(<conditionalFormatting sqref="A1"><cfRule type="expression" priority="1"/></conditionalFormatting>)"
        R"(<extLst><ext uri="{78C0D931-6437-407d-A8EE-F0AAD7539E65}"><x14:conditionalFormattings )"
        R"(xmlns:x14="http://schemas.microsoft.com/office/spreadsheetml/2009/9/main">)"
        R"(<x14:conditionalFormatting><x14:cfRule type="dataBar"/></x14:conditionalFormatting>)"
        R"(</x14:conditionalFormattings></ext></extLst>)";
    const std::string links = R"(<hyperlinks><hyperlink ref="A1" r:id="rId9"/></hyperlinks>)";
    const std::string comment = R"(<comment ref="A1" authorId="0"/>)";
    const std::string shape =
        R"(<xdr:sp><xdr:nvSpPr><xdr:cNvPr id="2" name="Rectangle 1"/></xdr:nvSpPr></xdr:sp>)";
    // A form control's shape is not a drawn shape.
    const std::string control =
        R"(<xdr:sp><xdr:nvSpPr><xdr:cNvPr id="3" name="Check Box 2"/></xdr:nvSpPr></xdr:sp>)";
    const std::string twoShapes =
        "<xdr:twoCellAnchor><xdr:grpSp>" + shape + shape + "</xdr:grpSp></xdr:twoCellAnchor>";
    const struct {
        const char* what;
        std::string sheetBody, comments, drawing;
        std::vector<std::string> notes;
    } cases[] = {
        {"everything kept", links + rules, comment, twoShapes, {}},
        {"the Excel 2007 rule lost",
         links + rules.substr(0, rules.find("<extLst>")),
         comment,
         twoShapes,
         {"1 conditional format on sheet 'Data' was not kept (rules LibreOffice does not read)"}},
        {"the hyperlink lost",
         rules,
         comment,
         twoShapes,
         {"1 hyperlink on sheet 'Data' was not kept"}},
        {"the comment lost",
         links + rules,
         "",
         twoShapes,
         {"1 comment on sheet 'Data' was not kept"}},
        {"a shape lost, a control in its place",
         links + rules,
         comment,
         "<xdr:twoCellAnchor>" + shape + "</xdr:twoCellAnchor><xdr:twoCellAnchor>" + control +
             "</xdr:twoCellAnchor>",
         {"1 shape on sheet 'Data' was not kept"}},
        {"all lost",
         "",
         "",
         "",
         {"2 conditional formats on sheet 'Data' were not kept (rules LibreOffice does not read)",
          "1 hyperlink on sheet 'Data' was not kept", "1 comment on sheet 'Data' was not kept",
          "2 shapes on sheet 'Data' were not kept"}},
    };
    for (const auto& c : cases) {
        const auto package = dir.Path() / "out.xlsx";
        WritePackageWith(package, c.sheetBody, c.comments, c.drawing);
        EXPECT_EQ(CarryObjects(xls, package, package).notes, c.notes) << c.what;
        // The frozen header row comes back whatever else was lost.
        const package::ZipReader zip(package);
        EXPECT_THAT(zip.Read("xl/worksheets/sheet1.xml"),
                    HasSubstr(R"(<pane ySplit="1" topLeftCell="A2" activePane="bottomLeft")"))
            << c.what;
    }
}

TEST(CarryObjects, AWorkbookWithoutObjectsLeavesThePackageAsItWas) {
    TempDir dir;
    const auto xls = dir.Path() / "plain.xls";
    const auto package = dir.Path() / "in.xlsx";
    const auto out = dir.Path() / "out.xlsx";
    WriteCompoundFile(xls, WorkbookStream({}, {{"Data", {Dimensions(1, 1), Number(0, 0, 1)}}}));
    testing::WriteOfficePackage(package);
    const ObjectsReport report = CarryObjects(xls, package, out);
    EXPECT_EQ(report.embeddedCarried, 0u);
    std::ifstream a(package, std::ios::binary), b(out, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(a), {}),
              std::string(std::istreambuf_iterator<char>(b), {}));
}

TEST(CarryObjects, AMissingStorageOrAnUnreadableSourceIsNamedNotFatal) {
    TempDir dir;
    const auto package = dir.Path() / "out.xlsx";
    testing::WriteOfficePackage(package);
    const auto noStorage = dir.Path() / "nostorage.xls";
    WriteCompoundFile(noStorage,
                      WorkbookStream({}, {{"Data", {ShapeDrawing(0), EmbeddedObj(1, 9)}}}));
    EXPECT_THAT(CarryObjects(noStorage, package, package).notes,
                ElementsAre(HasSubstr("MBD00000009 on sheet 'Data' is missing")));

    const auto text = dir.Path() / "text.xls";
    std::ofstream(text) << "not a workbook";
    EXPECT_THAT(CarryObjects(text, package, package).notes,
                ElementsAre(HasSubstr("objects cannot be read")));
}

}  // namespace
}  // namespace tabrook::calcserver::objects
