#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include <numeric>

#include "cli/source_list.h"

namespace tabrook::cli {
namespace {

struct LineCase {
    std::vector<std::string> arguments;
    std::string errorPart;  // empty: accepted
};

TEST(ParseCommandLine, AcceptsOrRefusesWithAReason) {
    const std::vector<LineCase> cases{
        {{"--out", "o", "a.xls"}, ""},
        {{"-o", "o", "-r", "-j", "3", "--format=xlsb", "--shard", "2/3", "dir"}, ""},
        {{"--out=o", "--files-from", "-"}, ""},
        {{"--out", "o", "--", "--odd-name.xls"}, ""},
        {{"a.xls"}, "--out DIR is needed"},
        {{"--out", "o"}, "no workbook or folder"},
        {{"--out"}, "--out takes a value"},
        {{"--out", "o", "--format", "ods", "a"}, "xlsx, xlsm or xlsb"},
        {{"--out", "o", "--jobs", "0", "a"}, "--jobs takes"},
        {{"--out", "o", "--jobs", "65", "a"}, "--jobs takes"},
        {{"--out", "o", "--jobs", "2x", "a"}, "--jobs takes"},
        {{"--out", "o", "--shard", "3/2", "a"}, "--shard takes"},
        {{"--out", "o", "--shard", "0/2", "a"}, "--shard takes"},
        {{"--out", "o", "--shard", "1/", "a"}, "--shard takes"},
        {{"--out", "o", "--mirror=yes", "a"}, "takes no value"},
        {{"--out", "o", "--overwrite", "a"}, "unknown option '--overwrite'"},
    };
    for (const LineCase& c : cases) {
        const CommandLine line = ParseCommandLine(c.arguments, 4);
        if (c.errorPart.empty()) {
            EXPECT_EQ(line.usageError, "") << c.arguments.front();
        } else {
            EXPECT_NE(line.usageError.find(c.errorPart), std::string::npos)
                << line.usageError << " for " << c.arguments.back();
        }
    }
}

TEST(ParseCommandLine, ReadsEveryOptionIntoItsPlace) {
    const CommandLine line = ParseCommandLine(
        {"-o", "out", "-r", "--mirror", "--skip-existing", "-q", "-j", "3", "--format", "xlsm",
         "--shard", "2/5", "--report", "r.jsonl", "a", "--", "-b"},
        8);
    ASSERT_EQ(line.usageError, "");
    const CliOptions& o = line.options;
    EXPECT_EQ(o.outDir, "out");
    EXPECT_TRUE(o.recursive && o.mirror && o.skipExisting && o.quiet);
    EXPECT_EQ(o.jobs, 3u);
    EXPECT_EQ(o.format->fileFormat, 52);
    EXPECT_EQ(o.shard, (Shard{2, 5}));
    EXPECT_EQ(o.reportPath, "r.jsonl");
    EXPECT_EQ(o.sources, (std::vector<std::string>{"a", "-b"}));
    // The defaults: .xlsx and as many jobs as cores, within the bound.
    EXPECT_EQ(ParseCommandLine({"-o", "x", "a"}, 6).options.format->fileFormat, 51);
    EXPECT_EQ(ParseCommandLine({"-o", "x", "a"}, 6).options.jobs, 6u);
    EXPECT_EQ(ParseCommandLine({"-o", "x", "a"}, 0).options.jobs, 1u);
    EXPECT_EQ(ParseCommandLine({"-o", "x", "a"}, 500).options.jobs, kMaxJobs);
    EXPECT_TRUE(ParseCommandLine({"--bogus", "--help"}, 1).usageError != "");
    EXPECT_TRUE(ParseCommandLine({"--help", "--bogus"}, 1).help);
}

// Every shard count over every list length: the slices are contiguous, in order, cover each
// item once, and differ in size by at most one.
TEST(ShardSlice, SplitsAnyListIntoEvenContiguousSlices) {
    for (std::size_t total : {0u, 1u, 2u, 7u, 145u, 2000u}) {
        for (std::size_t count : {1u, 2u, 3u, 8u, 200u}) {
            std::size_t next = 0;
            std::size_t smallest = total;
            std::size_t largest = 0;
            for (std::size_t index = 1; index <= count; ++index) {
                const SliceBounds slice = ShardSlice(total, {index, count});
                EXPECT_EQ(slice.first, next) << total << " in " << count;
                next = slice.last;
                smallest = std::min(smallest, slice.last - slice.first);
                largest = std::max(largest, slice.last - slice.first);
            }
            EXPECT_EQ(next, total);
            EXPECT_LE(largest - smallest, 1u);
        }
    }
}

}  // namespace
}  // namespace tabrook::cli
