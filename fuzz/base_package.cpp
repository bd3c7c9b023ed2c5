#include "base_package.h"

namespace tabrook::fuzz {
namespace {

const std::string kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const std::string kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const std::string kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const std::string kPackageRel = "http://schemas.openxmlformats.org/package/2006/relationships";
const std::string kTypes = "application/vnd.openxmlformats-officedocument.spreadsheetml.";

std::string Worksheet(const std::string& body) {
    return kHead + "<worksheet xmlns=\"" + kMain + "\" xmlns:r=\"" + kRel + "\">" + body +
           "</worksheet>";
}

std::string FirstSheet() {
    return Worksheet(
        "<sheetPr filterMode=\"false\"><pageSetUpPr fitToPage=\"false\"/></sheetPr>"
        "<dimension ref=\"A1:D5\"/><sheetViews><sheetView tabSelected=\"true\" "
        "workbookViewId=\"0\"><pane xSplit=\"1\" ySplit=\"1\" topLeftCell=\"B2\" "
        "activePane=\"bottomRight\" state=\"frozen\"/><selection pane=\"bottomRight\" "
        "activeCell=\"B2\" sqref=\"B2\"/></sheetView></sheetViews>"
        "<sheetFormatPr defaultColWidth=\"9.0546875\" defaultRowHeight=\"12.75\"/>"
        "<cols><col min=\"1\" max=\"2\" width=\"12.5\" style=\"1\" customWidth=\"1\"/>"
        "<col min=\"4\" max=\"1024\" width=\"9\" hidden=\"true\"/></cols><sheetData>"
        "<row r=\"1\" ht=\"12.75\" customHeight=\"false\"><c r=\"A1\" s=\"1\" t=\"s\"><v>0</v></c>"
        "<c r=\"B1\" t=\"n\"><v>1.5</v></c><c r=\"C1\" t=\"b\"><v>1</v></c>"
        "<c r=\"D1\" t=\"e\"><v>#DIV/0!</v></c></row>"
        "<row r=\"2\" ht=\"20\" customHeight=\"true\" hidden=\"false\"><c r=\"A2\" t=\"n\">"
        "<f aca=\"false\">SUM(B1:B3)*2+IF(C1,1,0)</f><v>3</v></c>"
        "<c r=\"B2\" t=\"str\"><f aca=\"false\">CONCATENATE(\"a\",'Sheet 2'!A1)</f><v>a</v></c>"
        "<c r=\"C2\" t=\"n\"><f aca=\"false\">Total+Sheet1!$A$1/0.5%</f><v>7</v></c>"
        "<c r=\"D2\" t=\"e\"><f aca=\"false\">#REF!</f><v>#REF!</v></c>"
        "<c r=\"E2\" t=\"n\"><f aca=\"false\">[1]Other!A1*2</f><v>10</v></c></row>"
        "<row r=\"3\"><c r=\"A3\" t=\"n\"><f t=\"shared\" ref=\"A3:A5\" "
        "si=\"0\">B1+1</f><v>2.5</v></c>"
        "<c r=\"B3\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> inline </t></is></c></row>"
        "<row r=\"4\"><c r=\"A4\" t=\"n\"><f t=\"shared\" si=\"0\"/><v>1</v></c>"
        "<c r=\"B4\" t=\"n\"><f t=\"array\" ref=\"B4:C4\" "
        "aca=\"false\">{1,2}*A1:B1</f><v>1</v></c></row>"
        "<row r=\"5\"><c r=\"A5\" s=\"2\" t=\"n\"><f t=\"shared\" si=\"0\"/><v>1</v></c></row>"
        "</sheetData><autoFilter ref=\"A1:D5\"><filterColumn colId=\"1\"><filters "
        "blank=\"1\"><filter val=\"1.5\"/></filters></filterColumn><filterColumn colId=\"2\">"
        "<customFilters and=\"1\"><customFilter operator=\"greaterThan\" val=\"2\"/>"
        "<customFilter operator=\"notEqual\" val=\"x\"/></customFilters></filterColumn>"
        "</autoFilter><mergeCells count=\"1\"><mergeCell ref=\"C5:D6\"/></mergeCells>"
        "<conditionalFormatting sqref=\"A1:B5 D2\"><cfRule type=\"cellIs\" dxfId=\"0\" "
        "priority=\"1\" operator=\"between\"><formula>1</formula><formula>$B$1</formula>"
        "</cfRule><cfRule type=\"expression\" dxfId=\"0\" priority=\"2\"><formula>"
        "'Sheet 2'!A1&gt;A1</formula></cfRule><cfRule type=\"containsText\" priority=\"3\" "
        "operator=\"containsText\" text=\"a\"><formula>NOT(ISERROR(SEARCH(\"a\",A1)))"
        "</formula></cfRule><cfRule type=\"colorScale\" priority=\"4\"><colorScale><cfvo "
        "type=\"min\"/><cfvo type=\"max\"/><color rgb=\"FFFF0000\"/><color "
        "rgb=\"FF00FF00\"/></colorScale></cfRule></conditionalFormatting>"
        "<dataValidations count=\"2\"><dataValidation type=\"list\" allowBlank=\"true\" "
        "showErrorMessage=\"true\" sqref=\"C1:C3\"><formula1>\"a,b\"</formula1>"
        "</dataValidation><dataValidation type=\"whole\" operator=\"greaterThan\" "
        "prompt=\"more\" sqref=\"D1\"><formula1>Total</formula1></dataValidation>"
        "</dataValidations><hyperlinks><hyperlink ref=\"A1\" location=\"'Sheet 2'!A1\" "
        "display=\"go\"/></hyperlinks>"
        "<pageMargins left=\"0.75\" right=\"0.75\" top=\"1\" bottom=\"1\" header=\"0.5\" "
        "footer=\"0.5\"/><pageSetup paperSize=\"9\" orientation=\"portrait\"/>"
        "<headerFooter><oddHeader>&amp;C&amp;A</oddHeader></headerFooter>");
}

std::string SecondSheet() {
    return Worksheet(
        "<dimension ref=\"A1:B2\"/><sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>1</v></c>"
        "<c r=\"XFD1\" t=\"n\"><v>-1E+300</v></c></row><row r=\"1048576\"><c r=\"A1048576\" "
        "t=\"n\"><f aca=\"true\">NOW()-TODAY()+Local</f><v>0</v></c></row></sheetData>");
}

}  // namespace

const std::vector<PackagePart>& BasePackage() {
    static const std::vector<PackagePart> kParts = {
        {"[Content_Types].xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Types "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
         "<Default Extension=\"rels\" "
         "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
         "<Override PartName=\"/xl/workbook.xml\" ContentType=\"" +
             kTypes + "sheet.main+xml\"/><Override PartName=\"/xl/styles.xml\" ContentType=\"" +
             kTypes +
             "styles+xml\"/><Override PartName=\"/xl/worksheets/sheet1.xml\" "
             "ContentType=\"" +
             kTypes +
             "worksheet+xml\"/><Override "
             "PartName=\"/xl/worksheets/sheet2.xml\" ContentType=\"" +
             kTypes +
             "worksheet+xml\"/><Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"" +
             kTypes +
             "sharedStrings+xml\"/><Override PartName=\"/xl/comments1.xml\" "
             "ContentType=\"" +
             kTypes +
             "comments+xml\"/><Override "
             "PartName=\"/xl/externalLinks/externalLink1.xml\" ContentType=\"" +
             kTypes + "externalLink+xml\"/></Types>"},
        {"_rels/.rels", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Relationships xmlns=\"" +
                            kPackageRel + "\"><Relationship Id=\"rId1\" Type=\"" + kRel +
                            "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/_rels/workbook.xml.rels",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Relationships xmlns=\"" + kPackageRel +
             "\"><Relationship Id=\"rId1\" Type=\"" + kRel +
             "/styles\" Target=\"styles.xml\"/><Relationship Id=\"rId2\" Type=\"" + kRel +
             "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId3\" Type=\"" +
             kRel +
             "/worksheet\" Target=\"worksheets/sheet2.xml\"/><Relationship Id=\"rId4\" "
             "Type=\"" +
             kRel +
             "/sharedStrings\" Target=\"sharedStrings.xml\"/><Relationship Id=\"rId5\" "
             "Type=\"" +
             kRel +
             "/externalLink\" Target=\"externalLinks/externalLink1.xml\"/>"
             "</Relationships>"},
        {"xl/workbook.xml",
         kHead + "<workbook xmlns=\"" + kMain + "\" xmlns:r=\"" + kRel +
             "\"><fileVersion appName=\"Calc\"/><workbookPr backupFile=\"false\" "
             "showObjects=\"all\" date1904=\"false\"/><bookViews><workbookView activeTab=\"0\"/>"
             "</bookViews><sheets><sheet name=\"Sheet1\" sheetId=\"1\" state=\"visible\" "
             "r:id=\"rId2\"/><sheet name=\"Sheet 2\" sheetId=\"2\" state=\"hidden\" r:id=\"rId3\"/>"
             "</sheets><externalReferences><externalReference r:id=\"rId5\"/>"
             "</externalReferences><definedNames><definedName function=\"false\" hidden=\"false\" "
             "name=\"Total\" vbProcedure=\"false\">Sheet1!$A$1:$B$2</definedName><definedName "
             "function=\"false\" hidden=\"false\" localSheetId=\"1\" name=\"Local\" "
             "vbProcedure=\"false\">'Sheet 2'!$A$1</definedName><definedName "
             "name=\"_xlnm.Print_Area\" localSheetId=\"0\">Sheet1!$A$1:$D$5</definedName>"
             "</definedNames><calcPr iterateCount=\"100\" refMode=\"A1\" iterate=\"false\" "
             "iterateDelta=\"0.001\"/></workbook>"},
        {"xl/styles.xml",
         kHead + "<styleSheet xmlns=\"" + kMain +
             "\"><numFmts count=\"2\"><numFmt numFmtId=\"164\" formatCode=\"General\"/>"
             "<numFmt numFmtId=\"165\" formatCode=\"#,##0.00&quot; €&quot;;[RED]\\-#,##0.00\"/>"
             "</numFmts><fonts count=\"2\"><font><sz val=\"10\"/><name val=\"Arial\"/>"
             "<family val=\"2\"/></font><font><b val=\"true\"/><i val=\"true\"/><sz val=\"12\"/>"
             "<color rgb=\"FFFF0000\"/><name val=\"Liberation Serif\"/><u val=\"single\"/></font>"
             "</fonts><fills count=\"3\"><fill><patternFill patternType=\"none\"/></fill><fill>"
             "<patternFill patternType=\"gray125\"/></fill><fill><patternFill "
             "patternType=\"solid\"><fgColor rgb=\"FFFFFF00\"/><bgColor indexed=\"64\"/>"
             "</patternFill></fill></fills><borders count=\"2\"><border diagonalUp=\"false\" "
             "diagonalDown=\"false\"><left/><right/><top/><bottom/><diagonal/></border><border>"
             "<left style=\"thin\"><color auto=\"1\"/></left><right style=\"double\"/><top/>"
             "<bottom style=\"medium\"><color theme=\"1\" tint=\"-0.5\"/></bottom><diagonal/>"
             "</border></borders><cellStyleXfs count=\"1\"><xf numFmtId=\"164\" fontId=\"0\" "
             "fillId=\"0\" borderId=\"0\"/></cellStyleXfs><cellXfs count=\"3\"><xf "
             "numFmtId=\"164\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/><xf "
             "numFmtId=\"165\" fontId=\"1\" fillId=\"2\" borderId=\"1\" xfId=\"0\" "
             "applyFont=\"true\"><alignment horizontal=\"center\" vertical=\"top\" "
             "textRotation=\"90\" wrapText=\"true\" indent=\"1\"/><protection locked=\"false\" "
             "hidden=\"true\"/></xf><xf numFmtId=\"14\" fontId=\"0\" fillId=\"0\" borderId=\"0\" "
             "xfId=\"0\"/></cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" "
             "xfId=\"0\" builtinId=\"0\"/></cellStyles><dxfs count=\"1\"><dxf><font><b/><color "
             "rgb=\"FFFF0000\"/></font>"
             "<fill><patternFill><bgColor rgb=\"FFFFFF00\"/></patternFill></fill></dxf>"
             "</dxfs></styleSheet>"},
        {"xl/sharedStrings.xml",
         kHead + "<sst xmlns=\"" + kMain +
             "\" count=\"3\" uniqueCount=\"3\"><si><t "
             "xml:space=\"preserve\">first</t></si><si><r><rPr><b val=\"true\"/><sz val=\"10\"/>"
             "</rPr><t>rich</t></r><r><t xml:space=\"preserve\"> _x0041_ text</t></r></si>"
             "<si><t/></si></sst>"},
        {"xl/worksheets/sheet1.xml", FirstSheet()},
        {"xl/worksheets/sheet2.xml", SecondSheet()},
        {"xl/worksheets/_rels/sheet1.xml.rels",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Relationships xmlns=\"" + kPackageRel +
             "\"><Relationship Id=\"rId1\" Type=\"" + kRel +
             "/comments\" Target=\"../comments1.xml\"/></Relationships>"},
        {"xl/comments1.xml",
         kHead + "<comments xmlns=\"" + kMain +
             "\"><authors><author>Ann</author><author/>"
             "</authors><commentList><comment ref=\"A1\" authorId=\"0\"><text><r><rPr><b "
             "val=\"true\"/><sz val=\"9\"/><rFont val=\"Arial\"/></rPr><t xml:space=\"preserve\">"
             "Ann:</t></r><r><t>a note</t></r></text></comment><comment ref=\"D5\" "
             "authorId=\"1\"><text><t>plain</t></text></comment></commentList></comments>"},
        {"xl/externalLinks/externalLink1.xml",
         kHead + "<externalLink xmlns=\"" + kMain + "\" xmlns:r=\"" + kRel +
             "\"><externalBook r:id=\"rId1\"><sheetNames><sheetName val=\"Other\"/>"
             "</sheetNames><sheetDataSet><sheetData sheetId=\"0\"><row r=\"1\"><cell r=\"A1\" "
             "t=\"n\"><v>5</v></cell><cell r=\"B1\" t=\"str\"><v>x</v></cell></row>"
             "</sheetData></sheetDataSet></externalBook></externalLink>"},
        {"xl/externalLinks/_rels/externalLink1.xml.rels",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Relationships xmlns=\"" + kPackageRel +
             "\"><Relationship Id=\"rId1\" Type=\"" + kRel +
             "/externalLinkPath\" Target=\"other.xlsx\" TargetMode=\"External\"/>"
             "</Relationships>"},
    };
    return kParts;
}

std::vector<std::string> SampleWorksheets() {
    return {FirstSheet(), SecondSheet(),
            Worksheet("<sheetData><row r=\"1\"><c r=\"A1\" t=\"n\"><v>1.5</v></c><c r=\"B1\" "
                      "t=\"s\"><v>2</v></c><c r=\"C1\"><f>1=1</f><v>0</v></c></row><row r=\"2\">"
                      "<c r=\"A2\" t=\"e\"><f>1/0</f><v>#DIV/0!</v></c><c r=\"B2\" t=\"str\">"
                      "<f>\"x\"</f><v>y</v></c></row><row r=\"10\"><c r=\"Z10\" t=\"inlineStr\">"
                      "<is><t>old</t></is></c></row></sheetData>"),
            Worksheet("<sheetData/>")};
}

}  // namespace tabrook::fuzz
