#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <pugixml.hpp>

#include "calcserver/biff/biff_workbook.h"
#include "calcserver/charts/chart_records.h"
#include "calcserver/charts/chart_references.h"
#include "calcserver/charts/chart_xml.h"
#include "calcserver/finish/package_check.h"
#include "calcserver/objects/carry_objects.h"
#include "calcserver/package/zip_package.h"
#include "objects/objects_fixture.h"
#include "support/temp_dir.h"

namespace tabrook::calcserver::charts {
namespace {

using namespace tabrook::testing::biff;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

Bytes Begin() {
    return Record(0x1033, {});
}
Bytes End() {
    return Record(0x1034, {});
}

// A chart group of one type record; `number` is its drawing order, by which series name it.
Bytes Group(std::uint16_t typeId, const Bytes& typeBody, std::uint16_t flags = 0,
            std::uint16_t number = 0) {
    return Record(0x1014, Bytes(16, 0) + Le16(flags) + Le16(number)) + Begin() +
           Record(typeId, typeBody) + End();
}

// An AI record: what it is for, and its parsed formula when it is a reference.
Bytes Ai(std::uint8_t id, const Bytes& formula) {
    return Record(0x1051, Bytes{id, static_cast<std::uint8_t>(formula.empty() ? 1 : 2)} + Le16(0) +
                              Le16(0) + Le16(static_cast<std::uint16_t>(formula.size())) + formula);
}

Bytes SeriesText(std::string_view text) {
    return Record(0x100D, Le16(0) + Bytes{static_cast<std::uint8_t>(text.size()), 0} +
                              Bytes(text.begin(), text.end()));
}

// A 3-D area reference token (ptgArea3d) to rows 2..4 of column `column`.
Bytes AreaFormula(std::uint16_t column) {
    return Bytes{0x3B} + Le16(0) + Le16(1) + Le16(3) + Le16(column) + Le16(column);
}

// One series named `name` with values and text categories, then the values the chart
// showed for it.
Bytes OneSeries(std::string_view name) {
    return Record(0x1003, Le16(3) + Le16(1) + Le16(3) + Le16(3) + Le16(1) + Le16(0)) + Begin() +
           Ai(0, {}) + SeriesText(name) + Ai(1, AreaFormula(1)) + Ai(2, AreaFormula(0)) + End();
}

Bytes Cache() {
    Bytes cells = Record(0x1065, Le16(1));
    for (std::uint16_t row = 0; row < 3; ++row) {
        cells = cells + CellRecord(0x0203, row, 0, LeDouble(1.5 * (row + 1)));
    }
    cells = cells + Record(0x1065, Le16(2));
    for (std::uint16_t row = 0; row < 3; ++row) {
        const std::string text = "Q" + std::to_string(row + 1);
        cells = cells + CellRecord(0x0204, row, 0, UnicodeString(text));
    }
    return cells;
}

Bytes Title(std::string_view text) {
    return Record(0x1025, Bytes(32, 0)) + Begin() + Record(0x1027, Le16(1) + Le16(0) + Le16(0)) +
           SeriesText(text) + End();
}

Bytes Legend(std::uint8_t position) {
    return Record(0x1015, Bytes(16, 0) + Bytes{position, 1} + Le16(0));
}

// The records of a chart between its BOF and EOF.
Bytes ChartRecords(const Bytes& group) {
    return Record(0x1002, Bytes(16, 0)) + Begin() + OneSeries("Sales") + Title("Quarterly") +
           Record(0x1041, Le16(0) + Bytes(16, 0)) + Begin() + group + Legend(0) + End() + End() +
           Cache();
}

Bytes ChartSubstream(const Bytes& group) {
    return Bof(0x0020) + ChartRecords(group) + Eof();
}

biff::FormulaContext DataSheetContext() {
    biff::FormulaContext context;
    context.externSheetNames = {"Data"};
    return context;
}

Chart ReadBytes(const Bytes& bytes) {
    return ReadChart(bytes);
}

TEST(ChartRecords, EachSupportedKindIsReadAndWrittenWithItsSeries) {
    const struct {
        const char* what;
        Bytes group;
        ChartKind kind;
        const char* element;  // the chart element written, with its direction or style
        const char* detail;
    } cases[] = {
        {"clustered column", Group(0x1017, Le16(0) + Le16(150) + Le16(0)), ChartKind::Column,
         "barChart", "barDir=col grouping=clustered"},
        {"stacked bar", Group(0x1017, Le16(0) + Le16(50) + Le16(0x0003)), ChartKind::Bar,
         "barChart", "barDir=bar grouping=stacked"},
        {"100% line", Group(0x1018, Le16(0x0002)), ChartKind::Line, "lineChart",
         "grouping=percentStacked"},
        {"pie", Group(0x1019, Le16(90) + Le16(0) + Le16(0), 1), ChartKind::Pie, "pieChart",
         "firstSliceAng=90"},
        {"doughnut", Group(0x1019, Le16(0) + Le16(40) + Le16(0), 1), ChartKind::Doughnut,
         "doughnutChart", "firstSliceAng=0 holeSize=40"},
        {"area", Group(0x101A, Le16(0x0001)), ChartKind::Area, "areaChart", "grouping=stacked"},
        {"scatter", Group(0x101B, Le16(100) + Le16(1) + Le16(0)), ChartKind::Scatter,
         "scatterChart", "scatterStyle=lineMarker"},
    };
    for (const auto& c : cases) {
        Chart chart = ReadBytes(ChartSubstream(c.group));
        ASSERT_EQ(chart.groups.size(), 1u) << c.what;
        EXPECT_EQ(chart.groups[0].kind, c.kind) << c.what;
        ASSERT_TRUE(Writable(chart)) << c.what;
        ASSERT_EQ(chart.series.size(), 1u) << c.what;
        ChartSeries& series = chart.series[0];
        EXPECT_EQ(series.name, "Sales") << c.what;
        EXPECT_EQ(series.values.formula, AreaFormula(1)) << c.what;
        EXPECT_EQ(series.categories.formula, AreaFormula(0)) << c.what;
        EXPECT_TRUE(series.textCategories) << c.what;
        EXPECT_THAT(series.cachedValues, ElementsAre(1.5, 3.0, 4.5)) << c.what;
        EXPECT_THAT(series.cachedCategories, ElementsAre("Q1", "Q2", "Q3")) << c.what;
        ASSERT_TRUE(chart.title) << c.what;
        EXPECT_EQ(chart.title->text, "Quarterly") << c.what;
        EXPECT_EQ(chart.legend, LegendPosition::Bottom) << c.what;

        // Before decoding, the series shows the values and texts the chart kept.
        pugi::xml_document literal;
        ASSERT_TRUE(literal.load_string(ChartSpaceXml(chart).c_str())) << c.what;
        EXPECT_EQ(literal.select_nodes("//c:numLit").size(), 1u) << c.what;
        EXPECT_EQ(literal.select_nodes("//c:strLit").size(), 1u) << c.what;
        EXPECT_EQ(DecodeReferences(chart, biff::FormulaContext{}), 2u) << c.what;
        EXPECT_EQ(DecodeReferences(chart, DataSheetContext()), 0u);
        pugi::xml_document xml;
        ASSERT_TRUE(xml.load_string(ChartSpaceXml(chart).c_str())) << c.what;
        const pugi::xml_node plot = xml.document_element().child("c:chart").child("c:plotArea");
        const pugi::xml_node element = plot.child((std::string("c:") + c.element).c_str());
        ASSERT_TRUE(element) << c.what;
        std::string detail;
        for (const char* name :
             {"c:barDir", "c:grouping", "c:scatterStyle", "c:firstSliceAng", "c:holeSize"}) {
            if (const pugi::xml_node node = element.child(name)) {
                detail += (detail.empty() ? "" : " ") + std::string(name + 2) + "=" +
                          node.attribute("val").value();
            }
        }
        EXPECT_EQ(detail, c.detail) << c.what;
        const pugi::xml_node ser = element.child("c:ser");
        const char* values = c.kind == ChartKind::Scatter ? "c:yVal" : "c:val";
        EXPECT_STREQ(ser.child(values).child("c:numRef").child_value("c:f"), "Data!$B$2:$B$4")
            << c.what;
        EXPECT_STREQ(
            ser.child(values).child("c:numRef").child("c:numCache").last_child().child_value("c:v"),
            "4.5")
            << c.what;
        EXPECT_STREQ(ser.child("c:tx").child_value("c:v"), "Sales") << c.what;
        const char* categories = c.kind == ChartKind::Scatter ? "c:xVal" : "c:cat";
        EXPECT_STREQ(ser.child(categories).child("c:strRef").child_value("c:f"), "Data!$A$2:$A$4")
            << c.what;

        // Every axis the chart names exists and crosses one that names it back.
        std::map<std::string, std::string> crossing;
        for (const pugi::xml_node axis : plot.children()) {
            if (axis.child("c:crossAx")) {
                crossing[axis.child("c:axId").attribute("val").value()] =
                    axis.child("c:crossAx").attribute("val").value();
            }
        }
        const bool pie = c.kind == ChartKind::Pie || c.kind == ChartKind::Doughnut;
        EXPECT_EQ(crossing.size(), pie ? 0u : 2u) << c.what;
        for (const pugi::xml_node id : element.children("c:axId")) {
            const std::string self = id.attribute("val").value();
            ASSERT_TRUE(crossing.count(self)) << c.what;
            EXPECT_EQ(crossing[crossing[self]], self) << c.what;
        }
    }
}

TEST(ChartRecords, SeriesFollowTheirPlotOrderAndGroupNotTheirRecords) {
    // A series of the group numbered `group` with its whole-series format: plot order
    // `order`, and no line drawn.
    const auto series = [](std::string_view name, std::uint16_t order, std::uint16_t group) {
        return Record(0x1003, Bytes(12, 0)) + Begin() + Ai(0, {}) + SeriesText(name) +
               Record(0x1045, Le16(group)) +
               Record(0x1006, Le16(0xFFFF) + Le16(0) + Le16(order) + Le16(0)) + Begin() +
               Record(0x1007, Bytes{0x12, 0x34, 0x56, 0} + Le16(5) + Le16(0) + Le16(0) + Le16(0)) +
               End() + End();
    };
    const Chart chart =
        ReadBytes(Bof(0x0020) + series("Second", 1, 7) + series("First", 0, 3) +
                  Group(0x1018, Le16(0), 0, 3) + Group(0x1017, Bytes(6, 0), 0, 7) + Eof());
    ASSERT_EQ(chart.series.size(), 2u);
    EXPECT_EQ(chart.series[0].name, "First");
    EXPECT_EQ(chart.series[0].group, 0u);
    EXPECT_EQ(chart.series[1].name, "Second");
    EXPECT_EQ(chart.series[1].group, 1u);
    EXPECT_TRUE(chart.series[0].noLine);
}

TEST(ChartRecords, KindsThatCannotBeWrittenAreNamed) {
    const struct {
        Bytes group;
        const char* name;
    } cases[] = {
        {Group(0x103E, Le16(0)), "radar"},
        {Group(0x103F, Le16(0)), "surface"},
        {Group(0x101B, Le16(100) + Le16(1) + Le16(1)), "bubble"},
        {Group(0x1035, Bytes{2} + Bytes(20, 0)), "bar of pie"},
        {Bytes{}, "empty"},
    };
    for (const auto& c : cases) {
        const Chart chart = ReadBytes(ChartSubstream(c.group));
        EXPECT_FALSE(Writable(chart)) << c.name;
        EXPECT_EQ(KindName(chart), c.name);
    }
    // A 3-D chart is written flat, and says so.
    const Bytes threeD = Record(0x1014, Bytes(20, 0)) + Begin() + Record(0x1017, Bytes(6, 0)) +
                         Record(0x103A, Bytes(14, 0)) + End();
    const Chart flat = ReadBytes(ChartSubstream(threeD));
    EXPECT_TRUE(Writable(flat));
    EXPECT_EQ(KindName(flat), "3-D column");
    EXPECT_THAT(flat.notes, ElementsAre(HasSubstr("drawn flat")));
}

TEST(ChartRecords, ACutOrHostileSubstreamEndsInARefusalOrAPartialChart) {
    const Bytes whole = ChartSubstream(Group(0x1017, Le16(0) + Le16(150) + Le16(0)));
    for (std::size_t size = 0; size < whole.size(); ++size) {
        try {
            ReadChart(std::span(whole).first(size));
        } catch (const biff::BiffError&) {
        }
    }
    Bytes deep = Bof(0x0020);
    for (int i = 0; i <= kMaxChartNesting; ++i) {
        deep = deep + Record(0x1002, Bytes(16, 0)) + Begin();
    }
    EXPECT_THROW(ReadChart(deep), biff::BiffError);
    // A cached cell far past any series or point is left out, not allocated.
    const Bytes far = Bof(0x0020) + OneSeries("S") + Record(0x1065, Le16(1)) +
                      CellRecord(0x0203, 0xFFFF, 0, LeDouble(1)) +
                      CellRecord(0x0203, 0, 0xFFFF, LeDouble(1)) + Eof();
    EXPECT_THAT(ReadBytes(far).series.at(0).cachedValues, IsEmpty());
}

// An OBJ record of a chart object.
Bytes ChartObj(std::uint16_t objectId) {
    return Record(0x005D, Le16(0x15) + Le16(18) + Le16(5) + Le16(objectId) + Le16(0x6011) +
                              Bytes(12, 0) + Le32(0));
}

TEST(CarryCharts, AChartTheOfficeDroppedIsWrittenOrNamed) {
    const Bytes column = Group(0x1017, Le16(0) + Le16(150) + Le16(0));
    const struct {
        const char* what;
        objects::testing::Bytes sheet;  // the records of sheet "Data"
        std::uint8_t sheetType;
        std::size_t written;
        const char* to;  // the frame's last column and row
        const char* note;
    } cases[] = {
        {"a column chart", objects::testing::ShapeDrawing(0) + ChartObj(1) + ChartSubstream(column),
         0, 1, "3:6", nullptr},
        // The office makes a sheet of a chart sheet; its chart fills the top of it.
        {"a chart sheet", ChartRecords(column), 2, 1, "9:24", nullptr},
        {"a radar chart",
         objects::testing::ShapeDrawing(0) + ChartObj(1) + ChartSubstream(Group(0x103E, Le16(0))),
         0, 0, "", "the radar chart on sheet 'Data' at B3:D7 is of a kind that cannot be written"},
    };
    for (const auto& c : cases) {
        tabrook::testing::TempDir dir;
        const auto xls = dir.Path() / "chart.xls";
        const auto package = dir.Path() / "out.xlsx";
        // The workbook's own book, and one sheet entry (0) for sheet "Data".
        const Bytes references = Record(0x01AE, Le16(1) + Le16(0x0401)) +
                                 Record(0x0017, Le16(1) + Le16(0) + Le16(0) + Le16(0));
        WriteCompoundFile(xls, WorkbookStream({references}, {{"Data", {c.sheet}, c.sheetType}}));
        objects::testing::WriteOfficePackage(package);

        const objects::ObjectsReport report = objects::CarryObjects(xls, package, package);
        EXPECT_EQ(report.chartsInSource, 1u) << c.what;
        EXPECT_EQ(report.chartsWritten, c.written) << c.what;
        EXPECT_EQ(report.chartsInResult, c.written) << c.what;
        if (c.note) {
            ASSERT_EQ(report.notes.size(), 1u) << c.what;
            EXPECT_THAT(report.notes[0], HasSubstr(c.note));
            continue;
        }
        EXPECT_THAT(report.notes, IsEmpty()) << c.what;
        const package::ZipReader zip(package);
        pugi::xml_document drawing;
        ASSERT_TRUE(drawing.load_string(zip.Read("xl/drawings/drawing1.xml").c_str()));
        const pugi::xml_node anchor = drawing.document_element().first_child();
        const std::string to = std::string(anchor.child("xdr:to").child_value("xdr:col")) + ":" +
                               anchor.child("xdr:to").child_value("xdr:row");
        EXPECT_EQ(to, c.to) << c.what;
        const std::string chart = zip.Read("xl/charts/chart1.xml");
        EXPECT_THAT(chart, HasSubstr("<c:barDir val=\"col\""));
        EXPECT_THAT(chart, HasSubstr("<c:f>Data!$B$2:$B$4</c:f>"));
        EXPECT_THAT(finish::PackageFaults(package), IsEmpty());

        // Run again on its own result: the chart is there now and is not written twice.
        const objects::ObjectsReport again = objects::CarryObjects(xls, package, package);
        EXPECT_EQ(again.chartsWritten, 0u);
        EXPECT_EQ(again.chartsInResult, 1u);
    }
}

}  // namespace
}  // namespace tabrook::calcserver::charts
