#include "platform/probe_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix_file_system.h"
#include "support/temp_dir.h"

namespace tabrook::platform {
namespace {

using tabrook::testing::TempDir;

class ProbePathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir.MakeDir("folder/sub");
        dir.MakeDir("empty");
        dir.Write("folder/Book.xls", "x");
        dir.Write("folder/.hidden.xls", "x");
        dir.MakeDir(".hiddenfolder");
        ASSERT_EQ(::mkfifo((dir.Path() / "pipe.xls").c_str(), 0600), 0);
        std::filesystem::create_symlink(dir.Path() / "nowhere", dir.Path() / "dangling.xls");
        std::filesystem::create_symlink(dir.Path() / "folder/Book.xls", dir.Path() / "link.xls");
    }
    PathKind Probe(const std::string& relative) const {
        return ProbePath(fileSystem, relative.empty() ? "" : dir.Str() + "/" + relative);
    }

    TempDir dir;
    PosixFileSystem fileSystem;
};

TEST_F(ProbePathTest, ClassifiesEveryKindOfPath) {
    struct Case {
        const char* path;
        PathKind expected;
    };
    const Case cases[] = {
        {"folder", PathKind::Folder},
        {"folder/", PathKind::Folder},
        {"folder//", PathKind::Folder},
        {"empty", PathKind::Folder},
        {"empty/", PathKind::Folder},  // a folder's own entries count, even when it holds nothing
        {"folder/sub", PathKind::Folder},
        {"folder/sub/.", PathKind::Folder},  // a folder's own entries are no hidden entries
        {"folder/sub/..", PathKind::Folder},
        {"folder/Book.xls/.", PathKind::Missing},
        {"folder/missing/..", PathKind::Missing},
        {"folder/Book.xls", PathKind::File},
        {"link.xls", PathKind::File},             // links are followed
        {"folder/Book.xls/", PathKind::Missing},  // a file is no folder
        {"folder/missing.xls", PathKind::Missing},
        {"missing/Book.xls", PathKind::Missing},
        {"folder/*.xls", PathKind::Missing},  // patterns match, but are no path
        {"folder/Book.xl?", PathKind::Missing},
        {"folder/.hidden.xls", PathKind::Missing},
        {".hiddenfolder", PathKind::Missing},
        {"pipe.xls", PathKind::Missing},      // a FIFO is a system entry
        {"dangling.xls", PathKind::Missing},  // so is a link to nothing
        {"", PathKind::Missing},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Probe(c.path), c.expected) << "path: " << c.path;
    }
}

TEST_F(ProbePathTest, RootAndRelativePaths) {
    EXPECT_EQ(ProbePath(fileSystem, "/"), PathKind::Folder);
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    EXPECT_EQ(ProbePath(fileSystem, "folder/Book.xls"), PathKind::File);
    EXPECT_EQ(ProbePath(fileSystem, "folder"), PathKind::Folder);
    EXPECT_EQ(ProbePath(fileSystem, "Book.xls"), PathKind::Missing);
    std::filesystem::current_path(previous);
}

}  // namespace
}  // namespace tabrook::platform
