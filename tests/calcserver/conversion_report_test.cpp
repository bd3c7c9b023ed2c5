#include "calcserver/report/conversion_report.h"

#include <gtest/gtest.h>

#include <string>

namespace tabrook::calcserver::report {
namespace {

TEST(ConversionReport, CrossesAsTextUnchangedWhateverItsTextsHold) {
    ConversionReport report;
    report.Count("values.cellsChanged", 3);
    report.Count("values.cellsChanged", 4);
    report.Add("xlsb", "formula kept as its value: =A1\t&\"\\n\"", "Sheet\n1!B7");
    report.Add("vba", "left as rebuilt");
    const auto parsed = ConversionReport::Parse(report.Serialize());
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(*parsed, report);
    EXPECT_EQ(parsed->Counts().at("values.cellsChanged"), 7u);
}

TEST(ConversionReport, BoundsItemsAndTextsButCountsWhatItLeavesOut) {
    ConversionReport report;
    for (std::size_t i = 0; i < ConversionReport::kMaxItems + 5; ++i) {
        report.Add("xlsb", std::string(1000, 'x'), "\xC3\xA9" + std::string(400, 'y'));
    }
    EXPECT_EQ(report.Items().size(), ConversionReport::kMaxItems);
    EXPECT_EQ(report.ItemsLeftOut(), 5u);
    EXPECT_LE(report.Items()[0].what.size(), ConversionReport::kMaxText);
    // The worst case still fits the finishing process's 64 KiB of output.
    EXPECT_LT(report.Serialize().size(), 64u * 1024u);
    EXPECT_EQ(ConversionReport::Parse(report.Serialize()), report);
}

TEST(ConversionReport, RefusesTextThatIsNotAWholeReport) {
    for (const char* damaged : {
             "count\tcells\t12",           // cut before its line end
             "count\tcells\ttwelve\n",     // not a number
             "count\tcells\t-1\n",         // not a count
             "item\tvba\twhat\n",          // a field short
             "item\tvba\tbad \\q\t\n",     // an unknown escape
             "item\tvba\tends in \\\t\n",  // an escape cut short
             "Tabrook cannot save 'x'\n",  // another program's words
         }) {
        EXPECT_FALSE(ConversionReport::Parse(damaged).has_value()) << damaged;
    }
    EXPECT_TRUE(ConversionReport::Parse("").has_value());
    // A count past its range stops at the largest value rather than wrapping round.
    const auto huge = ConversionReport::Parse("count\tx\t18446744073709551615\ncount\tx\t2\n");
    ASSERT_TRUE(huge.has_value());
    EXPECT_EQ(huge->Counts().at("x"), 18446744073709551615u);
}

}  // namespace
}  // namespace tabrook::calcserver::report
