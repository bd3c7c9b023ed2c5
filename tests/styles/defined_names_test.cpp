#include "calcserver/styles/defined_names.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

namespace tabrook::calcserver::styles {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

biff::DefinedName Name(std::string text, std::vector<std::uint8_t> tokens,
                       std::optional<std::size_t> sheet = std::nullopt) {
    biff::DefinedName name;
    name.name = std::move(text);
    name.tokens = std::move(tokens);
    name.sheet = sheet;
    return name;
}

// Sheet entry 0 is "My Sheet" of this workbook, entry 1 a sheet of another book.
biff::Workbook Source() {
    biff::Workbook source;
    source.sheets.resize(3);
    source.sheets[0].name = "Data";
    source.sheets[1].name = "My Sheet";
    source.sheets[2].name = "Chart1";
    source.names.books.resize(2);
    source.names.books[0].kind = biff::ExternalBook::Kind::Self;
    source.names.books[1].kind = biff::ExternalBook::Kind::External;
    source.names.books[1].sheetNames = {"Rates"};
    source.names.externSheets = {{0, 1, 1}, {1, 0, 0}};
    const std::vector<std::uint8_t> area = {0x3B, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0};
    const std::vector<std::uint8_t> external = {0x3A, 1, 0, 0, 0, 0, 0};
    auto& names = source.names.names;
    names.push_back(Name("Keep", area));
    names.back().hidden = true;
    names.push_back(Name("a\\b", area));
    names.push_back(Name("c\\d", area));
    names.push_back(Name("Go", {}));
    names.back().macro = names.back().vbProcedure = true;
    names.push_back(Name("_xlnm._FilterDatabase", area, 1));
    names.back().hidden = true;
    names.push_back(Name("B2", area));
    names.push_back(Name("Broken", {0x03}));
    names.push_back(Name("Ext", external));
    names.push_back(Name("OnChart", area, 2));
    names.push_back(Name("Empty", {}));
    names.push_back(Name("_xlnm.Print_Area", area));
    return source;
}

std::string Restored(const std::string& workbookXml, NamesOutcome& outcome) {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_string(workbookXml.c_str()));
    const FormulaWords words({"<c><f>SUM(C_D)*2</f></c>"});
    outcome = RestoreDefinedNames(document, Source(), words);
    std::ostringstream out;
    document.save(out, "", pugi::format_raw | pugi::format_no_declaration);
    return out.str();
}

TEST(DefinedNames, SourceNamesAreKeptRenamedBackOrAddedAndTheRestReported) {
    NamesOutcome outcome;
    const std::string xml =
        Restored(R"(<workbook><sheets><sheet name="Data"/><sheet name="My Sheet"/></sheets>)"
                 R"(<definedNames><definedName name="KEEP">Data!$A$1</definedName>)"
                 R"(<definedName name="a_b">'My Sheet'!$A$1:$B$2</definedName>)"
                 R"(<definedName name="c_d">'My Sheet'!$A$1:$B$2</definedName></definedNames>)"
                 R"(<calcPr/></workbook>)",
                 outcome);
    EXPECT_TRUE(outcome.changed);
    EXPECT_EQ(outcome.kept, 1u);
    EXPECT_EQ(outcome.renamed, 2u);
    EXPECT_EQ(outcome.added, 2u);
    EXPECT_THAT(xml, HasSubstr(R"(<definedName name="KEEP" hidden="1">Data!$A$1</definedName>)"));
    EXPECT_THAT(xml, HasSubstr(R"(<definedName name="a\b">'My Sheet'!$A$1:$B$2</definedName>)"));
    // A formula still calls LibreOffice's spelling, so it stays beside the source's.
    EXPECT_THAT(xml, HasSubstr(R"(<definedName name="c_d">'My Sheet'!$A$1:$B$2</definedName>)"
                               R"(<definedName name="c\d">)"));
    EXPECT_THAT(xml,
                HasSubstr(R"(<definedName name="Go" function="1" vbProcedure="1"></definedName>)"));
    EXPECT_THAT(xml, HasSubstr(R"(<definedName name="_xlnm._FilterDatabase" localSheetId="1" )"
                               R"(hidden="1">'My Sheet'!$A$1:$B$2</definedName>)"));
    EXPECT_THAT(outcome.notes,
                ElementsAre(HasSubstr("\"B2\" left out: the name reads as a cell reference"),
                            HasSubstr("\"Broken\" left out: its formula cannot be decoded"),
                            HasSubstr("\"Ext\" left out: it refers to another workbook"),
                            HasSubstr("\"OnChart\" left out: its sheet is not in the converted"),
                            HasSubstr("\"Empty\" left out: it refers to nothing"),
                            HasSubstr("\"_xlnm.Print_Area\" left out: a sheet's print or")));
}

TEST(DefinedNames, ANamesElementIsMadeInItsSchemaPlaceOnlyWhenNeeded) {
    NamesOutcome outcome;
    const std::string xml = Restored(
        R"(<x:workbook xmlns:x="m"><x:sheets><x:sheet name="Data"/><x:sheet name="My Sheet"/>)"
        R"(</x:sheets><x:externalReferences><x:externalReference/></x:externalReferences>)"
        R"(<x:calcPr/></x:workbook>)",
        outcome);
    EXPECT_THAT(xml, HasSubstr("</x:externalReferences><x:definedNames><x:definedName "
                               "name=\"Keep\" hidden=\"1\">'My Sheet'!$A$1:$B$2</x:definedName>"));
    EXPECT_THAT(xml, HasSubstr(R"(<x:definedName name="Ext">[1]Rates!$A$1</x:definedName>)"));
    EXPECT_THAT(xml, HasSubstr("</x:definedNames><x:calcPr/>"));

    const std::string noSheets = Restored("<workbook/>", outcome);
    EXPECT_FALSE(outcome.changed);
    EXPECT_EQ(noSheets, "<workbook/>");
}

}  // namespace
}  // namespace tabrook::calcserver::styles
