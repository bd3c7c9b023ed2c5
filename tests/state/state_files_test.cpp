#include "state/state_files.h"

#include <gtest/gtest.h>

#include "platform/posix_file_system.h"
#include "support/temp_dir.h"

namespace tabrook::state {
namespace {

using tabrook::testing::TempDir;

TEST(Preferences, OnlyTheExactTextOneIsOn) {
    struct Case {
        std::string content;
        bool sources;
        bool folders;
    };
    const Case cases[] = {
        {"1\r\n1\r\n", true, true},
        {"1\r\n0\r\n", true, false},
        {"0\r\n1", false, true},
        {"1", true, false},
        {"", false, false},
        {" 1\r\n1 \r\n", false, false},
        {"11\r\n01\r\n", false, false},
        {"1\r\n1\r\n0\r\n0\r\n", true, true},
    };
    TempDir dir;
    platform::PosixFileSystem fileSystem;
    for (const Case& c : cases) {
        dir.Write("set.txt", c.content);
        const Preferences preferences = ReadPreferences(fileSystem, dir.Str() + "/set.txt");
        EXPECT_EQ(preferences.SaveSourceEntries(), c.sources) << c.content;
        EXPECT_EQ(preferences.SaveOutputFolders(), c.folders) << c.content;
    }
    EXPECT_FALSE(ReadPreferences(fileSystem, dir.Str() + "/missing.txt").SaveSourceEntries());
}

TEST(Preferences, WrittenAsTwoCrLfLines) {
    TempDir dir;
    platform::PosixFileSystem fileSystem;
    const std::string path = StateFilePath(dir.Str(), kSettingsFile);
    ASSERT_TRUE(WritePreferences(fileSystem, path, true, false));
    const auto lines = fileSystem.ReadLines(path);
    ASSERT_TRUE(lines.has_value());
    EXPECT_EQ(*lines, (std::vector<std::string>{"1", "0"}));
    EXPECT_EQ(std::filesystem::file_size(path), 6u);
}

}  // namespace
}  // namespace tabrook::state
