#include "app/probe_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix_file_system.h"
#include "support/temp_dir.h"

namespace tabrook::app {
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
    int Probe(const std::string& relative) const {
        return ProbePath(fileSystem, relative.empty() ? "" : dir.Str() + "/" + relative);
    }

    TempDir dir;
    platform::PosixFileSystem fileSystem;
};

TEST_F(ProbePathTest, ClassifiesEveryKindOfPath) {
    struct Case {
        const char* path;
        int expected;
    };
    const Case cases[] = {
        {"folder", kProbeFolder},
        {"folder/", kProbeFolder},
        {"folder//", kProbeFolder},
        {"empty", kProbeFolder},
        {"empty/", kProbeFolder},  // a folder's own entries count, even when it holds nothing
        {"folder/sub", kProbeFolder},
        {"folder/sub/.", kProbeFolder},  // a folder's own entries are no hidden entries
        {"folder/sub/..", kProbeFolder},
        {"folder/Book.xls/.", kProbeMissing},
        {"folder/missing/..", kProbeMissing},
        {"folder/Book.xls", kProbeFile},
        {"link.xls", kProbeFile},             // links are followed
        {"folder/Book.xls/", kProbeMissing},  // a file is no folder
        {"folder/missing.xls", kProbeMissing},
        {"missing/Book.xls", kProbeMissing},
        {"folder/*.xls", kProbeMissing},  // patterns match, but are no path
        {"folder/Book.xl?", kProbeMissing},
        {"folder/.hidden.xls", kProbeMissing},
        {".hiddenfolder", kProbeMissing},
        {"pipe.xls", kProbeMissing},      // a FIFO is a system entry
        {"dangling.xls", kProbeMissing},  // so is a link to nothing
        {"", kProbeMissing},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Probe(c.path), c.expected) << "path: " << c.path;
    }
}

TEST_F(ProbePathTest, RootAndRelativePaths) {
    EXPECT_EQ(ProbePath(fileSystem, "/"), kProbeFolder);
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    EXPECT_EQ(ProbePath(fileSystem, "folder/Book.xls"), kProbeFile);
    EXPECT_EQ(ProbePath(fileSystem, "folder"), kProbeFolder);
    EXPECT_EQ(ProbePath(fileSystem, "Book.xls"), kProbeMissing);
    std::filesystem::current_path(previous);
}

}  // namespace
}  // namespace tabrook::app
