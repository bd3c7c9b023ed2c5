#include "calcserver/vba/package_patch.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <pugixml.hpp>

#include "calcserver/package/zip_package.h"
#include "calcserver/vba/carry_vba_project.h"
#include "calcserver/vba/vba_error.h"
#include "support/temp_dir.h"
#include "vba/compound_fixture.h"

namespace tabrook::calcserver::vba {
namespace {

using package::ZipReader;
using tabrook::testing::TempDir;

const std::filesystem::path kFixture = TABROOK_VBA_PACKAGE_FIXTURE;
constexpr const char* kMacroMain = "application/vnd.ms-excel.sheet.macroEnabled.main+xml";

// The fixture folder zipped: a package as the engine writes it for a macro-enabled target,
// with its own VBA part and a signature part hanging off that.
std::filesystem::path WritePackage(const TempDir& dir) {
    const auto path = dir.Path() / "in.xlsm";
    package::ZipWriter writer(path);
    for (const auto& file : std::filesystem::recursive_directory_iterator(kFixture)) {
        if (file.is_regular_file()) {
            writer.AddFile(std::filesystem::relative(file.path(), kFixture).string(), file.path());
        }
    }
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
    const std::tuple<const char*, std::optional<std::string>, bool, const char*> cases[] = {
        {"carried", std::string("\0project", 8), true, kMacroMain},
        {"target without macros", std::nullopt, false,
         "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"},
    };
    for (const auto& [label, project, macroEnabled, mainType] : cases) {
        SCOPED_TRACE(label);
        TempDir dir;
        const auto out = dir.Path() / "out.xlsm";
        EXPECT_TRUE(
            PatchPackage(WritePackage(dir), out, {project, !project.has_value(), macroEnabled, {}})
                .vbaPartRemoved);

        const ZipReader reader(out);
        for (const char* gone : {"xl/vbaProjectSignature.bin", "xl/_rels/vbaProject.bin.rels"}) {
            EXPECT_FALSE(reader.Has(gone)) << gone;
        }
        std::ifstream styles(kFixture / "xl/styles.xml");
        EXPECT_EQ(reader.Read("xl/styles.xml"),
                  std::string(std::istreambuf_iterator<char>(styles), {}));
        const auto types = Part(reader, "[Content_Types].xml");
        const auto rels = Part(reader, "xl/_rels/workbook.xml.rels");
        EXPECT_EQ(Query(types, "//Override[@PartName='/xl/workbook.xml']/@ContentType"), mainType);
        EXPECT_FALSE(types.select_node("//Override[@PartName='/xl/vbaProjectSignature.bin']"));
        EXPECT_EQ(rels.select_nodes("//Relationship").size(), project ? 8u : 7u);
        EXPECT_EQ(reader.Has("xl/vbaProject.bin"), project.has_value());
        if (project) {
            EXPECT_EQ(reader.Read("xl/vbaProject.bin"), *project);
            EXPECT_EQ(Query(rels, "//Relationship[@Target='vbaProject.bin']/@Type"),
                      "http://schemas.microsoft.com/office/2006/relationships/vbaProject");
            EXPECT_EQ(Query(types, "//Override[@PartName='/xl/vbaProject.bin']/@ContentType"),
                      "application/vnd.ms-office.vbaProject");
        } else {
            EXPECT_FALSE(types.select_node("//Override[@PartName='/xl/vbaProject.bin']"));
        }
    }
}

TEST(PackagePatch, CodeNamesAreMirroredWhereTheSheetKindsAgree) {
    TempDir dir;
    const auto in = WritePackage(dir);
    const CodeNames names{"DieseArbeitsmappe",
                          {{"Data", "Tabelle1", true},
                           {"Ünïcode", "Blatt_Ω", true},
                           {"Chart", "Diagramm1", false},
                           {"Converted", "Diagramm2", false},
                           {"Old", "", true},
                           {"Twin", "dieseARBEITSMAPPE", true},
                           {"Bad", "Bad\"Name", true},
                           {"Missing", "Tabelle9", true}}};
    const PatchResult result = PatchPackage(in, in, {std::nullopt, false, true, names});
    EXPECT_FALSE(result.vbaPartRemoved);
    EXPECT_TRUE(result.workbookCodeNameSet);
    EXPECT_EQ(result.sheetCodeNamesSet, 3u);
    const std::vector<std::string> leftOut = {"Diagramm2", "dieseARBEITSMAPPE", "Bad", "Tabelle9"};
    ASSERT_EQ(result.notes.size(), leftOut.size());
    for (std::size_t i = 0; i < leftOut.size(); ++i) {
        EXPECT_NE(result.notes[i].find(leftOut[i]), std::string::npos) << result.notes[i];
    }

    const ZipReader reader(in);
    EXPECT_EQ(reader.Read("xl/vbaProject.bin"), "the engine's rebuild");
    const auto workbook = Part(reader, "xl/workbook.xml");
    const auto properties = workbook.document_element().child("fileVersion").next_sibling();
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
    EXPECT_EQ(Query(Part(reader, "xl/chartsheets/sheet1.xml"), "//@codeName"), "Diagramm1");
    EXPECT_EQ(Query(Part(reader, "xl/worksheets/sheet4.xml"), "//@codeName"), "Stale");
    for (const char* withoutCodeName : {"sheet3.xml", "sheet5.xml", "sheet6.xml"}) {
        EXPECT_FALSE(Part(reader, std::string("xl/worksheets/") + withoutCodeName)
                         .select_node("//@codeName"))
            << withoutCodeName;
    }
}

// The sources here hold no readable sheets, so code names cannot be had: fatal only when a
// project is carried, whose document modules would otherwise bind to nothing.
TEST(CarryVbaProject, TheSourceDecidesWhatBecomesOfTheEnginesVbaPart) {
    using testing::CompoundEntry;
    std::vector<CompoundEntry> damaged = testing::MinimalVbaWorkbook();
    damaged.pop_back();  // no dir stream
    const std::vector<CompoundEntry> excel5 = {testing::Storage("_VBA_PROJECT")};
    const std::vector<CompoundEntry> plain = {testing::Stream("Workbook", "?")};
    struct Case {
        const char* label;
        std::vector<CompoundEntry> source;
        bool macroEnabled;
        bool throws;
        const char* vbaPart;  // the VBA part's content afterwards, null for none
    };
    const Case cases[] = {
        {"damaged project, macro-enabled target", damaged, true, true, nullptr},
        {"damaged project, target without macros", damaged, false, false, nullptr},
        {"sound project, unreadable sheets", testing::MinimalVbaWorkbook(), true, true, nullptr},
        {"Excel 5 project", excel5, true, false, "the engine's rebuild"},
        {"no project", plain, true, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const auto source = dir.Path() / "book.xls";
        testing::WriteCompoundFile(source, c.source);
        const auto in = WritePackage(dir);
        const auto out = dir.Path() / "out.xlsm";
        if (c.throws) {
            EXPECT_THROW(CarryVbaProject(source, in, out, c.macroEnabled), VbaError);
            EXPECT_FALSE(std::filesystem::exists(out));
            continue;
        }
        const VbaReport report = CarryVbaProject(source, in, out, c.macroEnabled);
        EXPECT_FALSE(report.projectCarried);
        EXPECT_FALSE(report.notes.empty());
        const ZipReader reader(out);
        EXPECT_EQ(reader.Has("xl/vbaProject.bin"), c.vbaPart != nullptr);
        if (c.vbaPart != nullptr) {
            EXPECT_EQ(reader.Read("xl/vbaProject.bin"), c.vbaPart);
        }
    }
}

}  // namespace
}  // namespace tabrook::calcserver::vba
