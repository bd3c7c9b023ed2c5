#include "calcserver/vba/package_patch.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "calcserver/package/zip_package.h"
#include "calcserver/vba/package_parts.h"
#include "calcserver/vba/vba_error.h"
#include "support/temp_dir.h"

namespace tabrook::calcserver::vba {
namespace {

using package::ZipReader;
using package::ZipWriter;
using tabrook::testing::TempDir;

constexpr const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* kStyles = "<styleSheet>\n  <fonts count=\"1\"/>\n</styleSheet>";

struct FixtureSheet {
    const char* name;
    const char* part;
    const char* relType;
    std::string xml;
};

std::vector<FixtureSheet> FixtureSheets() {
    const std::string ns = std::string(" xmlns=\"") + kMain + "\"";
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    return {
        {"Data", "xl/worksheets/sheet1.xml", "worksheet",
         "<worksheet" + ns +
             "><sheetPr filterMode=\"false\"><pageSetUpPr fitToPage=\"false\"/></sheetPr>"
             "<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t xml:space=\"preserve\">"
             "  two  </t></is></c></row></sheetData></worksheet>"},
        {"Ünïcode", "/xl/worksheets/sheet2.xml", "worksheet",
         std::string("<x:worksheet xmlns:x=\"") + kMain +
             "\"><x:dimension ref=\"A1\"/><x:sheetData/></x:worksheet>"},
        {"Chart", "xl/chartsheets/sheet1.xml", "chartsheet",
         "<chartsheet" + ns + "><sheetViews/></chartsheet>"},
        {"Converted", "xl/worksheets/sheet3.xml", "worksheet", "<worksheet" + ns + "/>"},
        {"Old", "xl/worksheets/sheet4.xml", "worksheet",
         "<worksheet" + ns + "><sheetPr codeName=\"Stale\"/></worksheet>"},
        {"Twin", "xl/worksheets/sheet5.xml", "worksheet", "<worksheet" + ns + "/>"},
    };
}

// A package as the engine writes it for a macro-enabled target, with its own VBA part
// and a signature part hanging off that.
std::filesystem::path WritePackage(const TempDir& dir, const std::string& workbookXml = {}) {
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    std::string types =
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Override PartName=\"/xl/workbook.xml\" "
        "ContentType=\"application/vnd.ms-excel.sheet.macroEnabled.main+xml\"/>"
        "<Override PartName=\"/xl/vbaProject.bin\" "
        "ContentType=\"application/vnd.ms-office.vbaProject\"/>"
        "<Override PartName=\"/xl/vbaProjectSignature.bin\" "
        "ContentType=\"application/vnd.ms-office.vbaProjectSignature\"/></Types>";
    std::string sheets;
    std::string rels =
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
        "relationships\"><Relationship Id=\"rId1\" Type=\"" +
        std::string(kVbaProjectRelType) + "\" Target=\"vbaProject.bin\"/>";
    const auto path = dir.Path() / "in.xlsm";
    ZipWriter writer(path);
    int n = 10;
    for (const FixtureSheet& sheet : FixtureSheets()) {
        const std::string id = "rId" + std::to_string(++n);
        sheets += "<sheet name=\"" + std::string(sheet.name) + "\" sheetId=\"" + std::to_string(n) +
                  "\" r:id=\"" + id + "\"/>";
        const std::string target = sheet.part[0] == '/' ? sheet.part : sheet.part + 3;
        rels += "<Relationship Id=\"" + id + "\" Type=\"" + rel + sheet.relType + "\" Target=\"" +
                target + "\"/>";
        writer.Add(sheet.part[0] == '/' ? sheet.part + 1 : sheet.part, sheet.xml);
    }
    writer.Add("[Content_Types].xml", types);
    writer.Add("_rels/.rels",
               "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
               "relationships\"><Relationship Id=\"rId1\" Type=\"" +
                   std::string(kOfficeDocumentRelType) +
                   "\" Target=\"xl/workbook.xml\"/>"
                   "</Relationships>");
    writer.Add("xl/workbook.xml",
               !workbookXml.empty() ? workbookXml
                                    : std::string("<workbook xmlns=\"") + kMain + "\" xmlns:r=\"" +
                                          rel.substr(0, rel.size() - 1) +
                                          "\"><fileVersion appName=\"Calc\"/><bookViews/><sheets>" +
                                          sheets + "</sheets></workbook>");
    writer.Add("xl/_rels/workbook.xml.rels", rels + "</Relationships>");
    writer.Add("xl/vbaProject.bin", "the engine's rebuild");
    writer.Add("xl/_rels/vbaProject.bin.rels",
               "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
               "relationships\"><Relationship Id=\"rId1\" Type=\"http://schemas.microsoft.com/"
               "office/2006/relationships/vbaProjectSignature\" "
               "Target=\"vbaProjectSignature.bin\"/></Relationships>");
    writer.Add("xl/vbaProjectSignature.bin", "signature");
    writer.Add("xl/styles.xml", kStyles);
    writer.Commit();
    return path;
}

pugi::xml_document Part(const ZipReader& reader, const std::string& name) {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_string(reader.Read(name).c_str(),
                                     pugi::parse_default | pugi::parse_ws_pcdata));
    return document;
}

std::string Query(const pugi::xml_document& document, const std::string& xpath) {
    return document.select_node(xpath.c_str()).attribute().value();
}

TEST(PackagePatch, VbaPartFollowsTheTargetAndTheSource) {
    struct Case {
        const char* label;
        std::optional<std::string> project;
        bool macroEnabled;
        const char* mainType;
    };
    const Case cases[] = {
        {"carried", std::string("\xd0\xcf\x11\xe0 source project", 20), true,
         "application/vnd.ms-excel.sheet.macroEnabled.main+xml"},
        {"workbook without VBA", std::nullopt, true,
         "application/vnd.ms-excel.sheet.macroEnabled.main+xml"},
        {"target without macros", std::nullopt, false,
         "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const auto out = dir.Path() / "out.xlsm";
        const PatchResult result = PatchPackage(
            WritePackage(dir), out, {c.project, !c.project.has_value(), c.macroEnabled, {}});
        EXPECT_TRUE(result.vbaPartRemoved);

        const ZipReader reader(out);
        EXPECT_FALSE(reader.Has("xl/vbaProjectSignature.bin"));
        EXPECT_FALSE(reader.Has("xl/_rels/vbaProject.bin.rels"));
        EXPECT_EQ(reader.Read("xl/styles.xml"), kStyles);
        EXPECT_EQ(reader.Has("xl/vbaProject.bin"), c.project.has_value());
        const auto types = Part(reader, "[Content_Types].xml");
        const auto rels = Part(reader, "xl/_rels/workbook.xml.rels");
        const std::string vbaRel =
            "//Relationship[@Type='" + std::string(kVbaProjectRelType) + "']";
        const std::size_t expectedVba = c.project ? 1 : 0;
        EXPECT_EQ(rels.select_nodes(vbaRel.c_str()).size(), expectedVba);
        EXPECT_EQ(types.select_nodes("//Override[@PartName='/xl/vbaProject.bin']").size(),
                  expectedVba);
        EXPECT_EQ(types.select_nodes("//Override[@PartName='/xl/vbaProjectSignature.bin']").size(),
                  0u);
        EXPECT_EQ(Query(types, "//Override[@PartName='/xl/workbook.xml']/@ContentType"),
                  c.mainType);
        EXPECT_EQ(rels.select_nodes("//Relationship").size(), 6 + expectedVba);
        if (c.project) {
            EXPECT_EQ(reader.Read("xl/vbaProject.bin"), *c.project);
            EXPECT_EQ(Query(rels, vbaRel + "/@Target"), "vbaProject.bin");
            EXPECT_EQ(Query(types, "//Override[@PartName='/xl/vbaProject.bin']/@ContentType"),
                      kVbaProjectContentType);
        }
    }
}

TEST(PackagePatch, CodeNamesAreMirroredWhereTheSheetKindsAgree) {
    TempDir dir;
    const auto in = WritePackage(dir);
    CodeNames names{"DieseArbeitsmappe",
                    {{"Data", "Tabelle1", true},
                     {"Ünïcode", "Blatt_Ω", true},
                     {"Chart", "Diagramm1", false},
                     {"Converted", "Diagramm2", false},
                     {"Old", "", true},
                     {"Twin", "dieseARBEITSMAPPE", true},
                     {"Missing", "Tabelle9", true}}};
    const PatchResult result = PatchPackage(in, in, {std::nullopt, false, true, names});
    EXPECT_FALSE(result.vbaPartRemoved);
    EXPECT_TRUE(result.workbookCodeNameSet);
    EXPECT_EQ(result.sheetCodeNamesSet, 3u);
    ASSERT_EQ(result.notes.size(), 3u);
    EXPECT_NE(result.notes[0].find("Diagramm2"), std::string::npos);
    EXPECT_NE(result.notes[1].find("dieseARBEITSMAPPE"), std::string::npos);
    EXPECT_NE(result.notes[2].find("Tabelle9"), std::string::npos);

    const ZipReader reader(in);
    EXPECT_EQ(reader.Read("xl/vbaProject.bin"), "the engine's rebuild");
    const auto workbook = Part(reader, "xl/workbook.xml");
    const pugi::xml_node properties =
        workbook.document_element().child("fileVersion").next_sibling();
    EXPECT_STREQ(properties.name(), "workbookPr");
    EXPECT_STREQ(properties.attribute("codeName").value(), "DieseArbeitsmappe");

    const auto data = Part(reader, "xl/worksheets/sheet1.xml");
    EXPECT_EQ(Query(data, "/worksheet/sheetPr/@codeName"), "Tabelle1");
    EXPECT_EQ(Query(data, "/worksheet/sheetPr/@filterMode"), "false");
    EXPECT_TRUE(data.select_node("/worksheet/sheetPr/pageSetUpPr"));
    EXPECT_STREQ(data.select_node("//t").node().text().get(), "  two  ");
    const auto prefixed = Part(reader, "xl/worksheets/sheet2.xml");
    EXPECT_STREQ(prefixed.document_element().first_child().name(), "x:sheetPr");
    EXPECT_EQ(Query(prefixed, "/*/*[1]/@codeName"), "Blatt_Ω");
    EXPECT_EQ(Query(Part(reader, "xl/chartsheets/sheet1.xml"), "//sheetPr/@codeName"), "Diagramm1");
    for (const char* untouched :
         {"xl/worksheets/sheet3.xml", "xl/worksheets/sheet4.xml", "xl/worksheets/sheet5.xml"}) {
        SCOPED_TRACE(untouched);
        EXPECT_FALSE(Part(reader, untouched).select_node("//@codeName"));
    }
}

TEST(PackagePatch, UnusablePackagesFailWithoutWritingAnything) {
    TempDir dir;
    const std::pair<const char*, std::string> cases[] = {
        {"malformed workbook part", "<workbook><sheets></workbook>"},
        {"not a package", ""},
    };
    for (const auto& [label, workbookXml] : cases) {
        SCOPED_TRACE(label);
        const auto in = workbookXml.empty() ? dir.Write("in.xlsm", "PK but not really")
                                            : WritePackage(dir, workbookXml);
        const auto before = std::filesystem::file_size(in);
        const auto out = dir.Path() / "out.xlsm";
        EXPECT_THROW(PatchPackage(in, out, {std::string("bin"), false, true, CodeNames{"Wb", {}}}),
                     VbaError);
        EXPECT_THROW(PatchPackage(in, in, {std::string("bin"), false, true, CodeNames{"Wb", {}}}),
                     VbaError);
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_EQ(std::filesystem::file_size(in), before);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
    }
}

TEST(PackageParts, RelationshipTargetsResolveAgainstTheirSource) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"xl/workbook.xml", "worksheets/sheet1.xml", "xl/worksheets/sheet1.xml"},
        {"xl/workbook.xml", "/xl/vbaProject.bin", "xl/vbaProject.bin"},
        {"xl/worksheets/sheet1.xml", "../drawings/./d1.xml", "xl/drawings/d1.xml"},
        {"", "xl/workbook.xml", "xl/workbook.xml"},
    };
    for (const auto& [source, target, part] : cases) {
        EXPECT_EQ(ResolveTarget(source, target), part) << source << " -> " << target;
    }
    EXPECT_EQ(RelationshipsPartOf("xl/workbook.xml"), "xl/_rels/workbook.xml.rels");
    EXPECT_EQ(RelationshipsPartOf(""), "_rels/.rels");
}

TEST(CodeNames, OnlyVbaIdentifiersAreAccepted) {
    for (const char* good : {"Sheet1", "ThisWorkbook", "Tabelle_1", "Ωμέγα", "表1"}) {
        EXPECT_TRUE(IsAcceptableCodeName(good)) << good;
    }
    for (const char* bad : {"", "1Sheet", "_x", "Sheet 1", "a\"b", "a<b", "tab\there", "\x01"}) {
        EXPECT_FALSE(IsAcceptableCodeName(bad)) << bad;
    }
}

}  // namespace
}  // namespace tabrook::calcserver::vba
