#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "platform/atomic_file.h"
#include "platform/name_match.h"
#include "platform/posix_file_system.h"
#include "support/temp_dir.h"

namespace tabrook::platform {
namespace {

using tabrook::testing::TempDir;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(SearchNameMatches, FollowsWildcardsCaseAndShortAliasRule) {
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {"*.xls", "Book.xls", true},    {"*.xls", "BOOK.XLS", true},
        {"*.xls", "report.xlsx", true}, {"*.xls", "macro.xlsm", true},
        {"*.xls", "big.XLSB", true},    {"*.xls", "book.xls.bak", false},
        {"*.xls", "book.csv", false},   {"*.xls", "xls", false},
        {"*.xls", "a.b.xls", true},     {"*.xls", ".xls", true},
        {"B?ok.xls", "Book.xls", true}, {"B?ok.xls", "Bok.xls", false},
        {"*", "anything", true},        {"*a*b*", "xxaxxbxx", true},
        {"*a*b", "xxaxxbxxc", false},   {"Book.xls", "book.XLS", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SearchNameMatches(c.pattern, c.name), c.matches)
            << c.pattern << " against " << c.name;
    }
}

class PosixSearchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"b.xls", "A.XLS", "c.xlsx", "d.xlsm", "e.xlsb", "f.xls.bak",
                                 "g.csv", ".hidden.xls"}) {
            dir.Write(name, "x");
        }
        dir.MakeDir("old.xls");
        dir.Write("old.xls/inside.xls", "x");
        ::mkfifo((dir.Path() / "fifo.xls").c_str(), 0600);
        std::filesystem::create_symlink(dir.Path() / "gone", dir.Path() / "dangling.xls");
    }

    TempDir dir;
    PosixFileSystem fileSystem;
};

TEST_F(PosixSearchTest, FilesOnlyListsOrdinaryWorkbooksSortedWithoutRegardToCase) {
    const SearchResult found = fileSystem.Search(dir.Str() + "/*.xls", SearchKinds::FilesOnly);
    EXPECT_FALSE(found.failed);
    EXPECT_THAT(found.names, ElementsAre("A.XLS", "b.xls", "c.xlsx", "d.xlsm", "e.xlsb"));
}

TEST_F(PosixSearchTest, FolderSearchAddsFoldersAndTheFoldersOwnEntries) {
    const SearchResult found = fileSystem.Search(dir.Str() + "/", SearchKinds::FilesAndFolders);
    EXPECT_THAT(found.names, ::testing::Contains("old.xls"));
    EXPECT_THAT(found.names, ::testing::Contains("."));
    EXPECT_THAT(found.names, ::testing::Not(::testing::Contains(".hidden.xls")));
    EXPECT_THAT(found.names, ::testing::Not(::testing::Contains("fifo.xls")));
    EXPECT_THAT(found.names, ::testing::Not(::testing::Contains("dangling.xls")));
}

TEST_F(PosixSearchTest, ExactNamesAndFailures) {
    EXPECT_THAT(fileSystem.Search(dir.Str() + "/b.xls", SearchKinds::FilesOnly).names,
                ElementsAre("b.xls"));
    EXPECT_THAT(fileSystem.Search(dir.Str() + "/old.xls", SearchKinds::FilesOnly).names, IsEmpty());
    EXPECT_THAT(fileSystem.Search(dir.Str() + "/old.xls", SearchKinds::FilesAndFolders).names,
                ElementsAre("old.xls"));
    EXPECT_TRUE(fileSystem.Search(dir.Str() + "/missing/*.xls", SearchKinds::FilesOnly).failed);
    EXPECT_TRUE(fileSystem.Search("", SearchKinds::FilesOnly).failed);
    // A limited search only says whether anything matches.
    EXPECT_EQ(fileSystem.Search(dir.Str() + "/*.xls", SearchKinds::FilesOnly, 1).names.size(), 1u);
}

TEST_F(PosixSearchTest, AttributesOfExactPathsOnly) {
    EXPECT_EQ(fileSystem.Attributes(dir.Str() + "/old.xls").value_or(0) & kAttrDirectory,
              kAttrDirectory);
    EXPECT_EQ(fileSystem.Attributes(dir.Str() + "/b.xls").value_or(kAttrDirectory) & kAttrDirectory,
              0u);
    EXPECT_FALSE(fileSystem.Attributes(dir.Str() + "/*.xls").has_value());
    EXPECT_FALSE(fileSystem.Attributes(dir.Str() + "/b.xls/").has_value());
    EXPECT_FALSE(fileSystem.Attributes("").has_value());
    EXPECT_NE(fileSystem.Attributes(dir.Str() + "/.hidden.xls").value_or(0) & kAttrHidden, 0u);
}

TEST(PosixMakeFolder, MakesOneLevelOnly) {
    TempDir dir;
    PosixFileSystem fileSystem;
    EXPECT_TRUE(fileSystem.MakeFolder(dir.Str() + "/new"));
    EXPECT_FALSE(fileSystem.MakeFolder(dir.Str() + "/new"));  // already there
    EXPECT_FALSE(fileSystem.MakeFolder(dir.Str() + "/a/b"));
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "a"));
}

TEST(StateFileText, ReadsEveryLineEndAndNoPhantomLines) {
    struct Case {
        const char* name;
        std::string content;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"crlf", "a\r\nb\r\n", {"a", "b"}},
        {"lone cr", "a\rb\r", {"a", "b"}},
        {"lone lf", "a\nb\n", {"a", "b"}},
        {"mixed", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"no final line end", "only", {"only"}},
        {"empty lines kept", "\r\n\r\nx\r\n", {"", "", "x"}},
        {"empty file", "", {}},
        {"blanks kept", " 1 \r\n", {" 1 "}},
        {"utf-8 kept", "/home/m\xC3\xBCller/Mappe.xls\r\n", {"/home/m\xC3\xBCller/Mappe.xls"}},
    };
    TempDir dir;
    PosixFileSystem fileSystem;
    for (const Case& c : cases) {
        const auto file = dir.Write("state.txt", c.content);
        EXPECT_EQ(fileSystem.ReadLines(file.string()).value_or(std::vector<std::string>{"?"}),
                  c.lines)
            << c.name;
    }
    EXPECT_FALSE(fileSystem.ReadLines(dir.Str() + "/missing.txt").has_value());
}

std::string Slurp(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(StateFileText, WritesCrLfAndReplacesWhole) {
    TempDir dir;
    PosixFileSystem fileSystem;
    const auto file = dir.Write("EXCEL.txt", "old line 1\r\nold line 2\r\nold line 3\r\n");
    ASSERT_TRUE(fileSystem.WriteLines(file.string(), {"/a", ""}));
    EXPECT_EQ(Slurp(file), "/a\r\n\r\n");
    ASSERT_TRUE(fileSystem.WriteLines(file.string(), {}));
    EXPECT_EQ(Slurp(file), "");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(StateFileText, FailedWriteKeepsTheFormerContentAndLeavesNoTemporaryFile) {
    TempDir dir;
    PosixFileSystem fileSystem;
    // A folder standing where the file should go cannot be replaced by a file.
    dir.MakeDir("set.txt");
    EXPECT_FALSE(fileSystem.WriteLines(dir.Str() + "/set.txt", {"1", "1"}));
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "set.txt"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
    // A folder that is missing cannot hold the file at all.
    EXPECT_FALSE(fileSystem.WriteLines(dir.Str() + "/missing/set.txt", {"1"}));
}

mode_t ModeOf(const std::filesystem::path& file) {
    struct stat status {};
    return ::stat(file.c_str(), &status) == 0 ? (status.st_mode & 07777) : 0;
}

std::size_t EntriesIn(const std::filesystem::path& folder) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                  std::filesystem::directory_iterator()));
}

TEST(AtomicFile, KeepsPermissionsOfWhatItReplacesAndRefusesATakenName) {
    TempDir dir;
    const mode_t former = ::umask(027);
    // A new file: what the umask allows. A replaced one: what the user had given it.
    EXPECT_EQ(WriteFileAtomically(dir.Path() / "new.txt", "a", Placement::kReplace), "");
    EXPECT_EQ(ModeOf(dir.Path() / "new.txt"), 0640u);
    const auto kept = dir.Write("kept.txt", "old");
    std::filesystem::permissions(kept, std::filesystem::perms(0604));
    EXPECT_EQ(WriteFileAtomically(kept, "new", Placement::kReplace), "");
    EXPECT_EQ(ModeOf(kept), 0604u);
    ::umask(former);

    // A name that is taken stays as it was, and no temporary is left beside it.
    const std::string said = WriteFileAtomically(kept, "other", Placement::kNeverReplace);
    EXPECT_NE(said.find(kept.string()), std::string::npos) << said;
    std::ifstream in(kept);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new");
    EXPECT_EQ(EntriesIn(dir.Path()), 2u);

    EXPECT_NE(WriteFileAtomically(dir.Path() / "missing" / "x.txt", "a", Placement::kReplace)
                  .find(dir.Str() + "/missing"),
              std::string::npos);
}

}  // namespace
}  // namespace tabrook::platform
