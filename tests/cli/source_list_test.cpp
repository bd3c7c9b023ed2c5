#include "cli/source_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/target_names.h"
#include "platform/posix_file_system.h"
#include "support/temp_dir.h"

namespace tabrook::cli {
namespace {

using testing::TempDir;

std::vector<std::string> Paths(const std::vector<SourceWorkbook>& workbooks, const TempDir& base) {
    std::vector<std::string> paths;
    for (const SourceWorkbook& workbook : workbooks) {
        paths.push_back(
            std::filesystem::path(workbook.path).lexically_relative(base.Path()).string() +
            (workbook.missing ? " (missing)" : "") + " [" + workbook.folder + "]");
    }
    return paths;
}

class SourceListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name :
             {"in/b.xls", "in/A.XLS", "in/notes.txt", "in/.hidden.xls", "in/sub/c.xls",
              "in/sub/deeper/d.xlsx", "in/old.xls/e.xls", "other/b.xls"}) {
            work.Write(name, "x");
        }
        std::filesystem::create_directory_symlink(work.Path() / "in", work.Path() / "in/sub/loop");
    }
    std::string In(const char* relative) const { return (work.Path() / relative).string(); }

    TempDir work;
    platform::PosixFileSystem fileSystem;
};

TEST_F(SourceListTest, FollowsTheFileListRulesAndDescendsOnlyWhenAsked) {
    EXPECT_EQ(Paths(ListSources(fileSystem, {In("in")}, false), work),
              (std::vector<std::string>{"in/A.XLS []", "in/b.xls []"}));
    // Every folder once, a link back up the tree included; a folder named old.xls is a folder.
    EXPECT_EQ(
        Paths(ListSources(fileSystem, {In("in")}, true), work),
        (std::vector<std::string>{"in/A.XLS []", "in/b.xls []", "in/old.xls/e.xls [old.xls]",
                                  "in/sub/c.xls [sub]", "in/sub/deeper/d.xlsx [sub/deeper]"}));
}

TEST_F(SourceListTest, SortsJoinsRepeatsAndKeepsMissingSourcesAsFailures) {
    const auto listed = ListSources(
        fileSystem, {In("other"), In("in/b.xls"), In("in"), In("in/notes.txt"), In("gone.xls")},
        false);
    EXPECT_EQ(Paths(listed, work),
              (std::vector<std::string>{"gone.xls (missing) []", "in/A.XLS []", "in/b.xls []",
                                        "in/notes.txt []", "other/b.xls []"}));
}

TEST_F(SourceListTest, NamesEveryResultOnceWhateverTheShard) {
    const auto listed = ListSources(fileSystem, {In("in"), In("other")}, true);
    const std::string out = In("out");
    const auto flat = PlanTargets(listed, out, ".xlsx", false);
    // in/b.xls and other/b.xls meet in one folder: the later one moves on by the free-name rule.
    EXPECT_EQ(flat[1], out + "/b");
    EXPECT_EQ(flat[5], out + "/b1");
    const auto mirrored = PlanTargets(listed, out, ".xlsx", true);
    EXPECT_EQ(mirrored[3], out + "/sub/c");
    EXPECT_EQ(mirrored[5], out + "/b1");  // both at the top of their SOURCE

    // A name another program took meanwhile moves on, never onto a name the list gave.
    work.Write("out/b.xlsx", "taken");
    TargetClaims claims(fileSystem, flat, ".xlsx");
    EXPECT_EQ(claims.Claim(1), out + "/b12.xlsx");
    EXPECT_EQ(claims.Claim(5), out + "/b1.xlsx");
    EXPECT_EQ(claims.Claim(0), out + "/A.xlsx");
}

TEST(ReadPathList, TakesOnePathALineWithEitherLineEnd) {
    std::istringstream in("a.xls\r\n\nfolder with space\nlast");
    EXPECT_EQ(ReadPathList(in), (std::vector<std::string>{"a.xls", "folder with space", "last"}));
}

}  // namespace
}  // namespace tabrook::cli
