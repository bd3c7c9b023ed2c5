// How a desktop entry becomes the argument vector that starts its program for one target.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/desktop_entry.h"
#include "platform/exec_line.h"
#include "support/temp_dir.h"

namespace tabrook::platform {
namespace {

using Args = std::vector<std::string>;

// Blanks, quotes, "$" and "%" in a target must reach the program untouched, as one argument.
const std::string kTarget = "/tmp/My \"Help\" $HOME 100%.chm";

TEST(ExpandExecTest, TargetStaysOneArgumentAndQuotingFollowsTheEntryRules) {
    const struct {
        const char* exec;
        Args expected;
    } cases[] = {
        {"xchm %f", {"xchm", kTarget}},
        {"browser --new-window %U", {"browser", "--new-window", kTarget}},
        {"\"/opt/My Viewer/view\" --open=%u", {"/opt/My Viewer/view", "--open=" + kTarget}},
        {R"(app "say \"hi\" \$x \\ \`" 100%%)", {"app", R"(say "hi" $x \ `)", "100%", kTarget}},
        {R"(app "a\\\\b" %f)", {"app", R"(a\b)", kTarget}},
        // Icon, name and entry-file codes are dropped, and an argument of one alone with them.
        {"viewer %i %c %k %F", {"viewer", kTarget}},
        // Without a code for it, the target goes last.
        {"mailer  -compose", {"mailer", "-compose", kTarget}},
        {"app \"\" %f", {"app", "", kTarget}},
        // Malformed or empty: no program rather than a guessed command line.
        {"app \"unclosed %f", {}},
        {"  ", {}},
        {"%i", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExpandExec(c.exec, kTarget), c.expected) << c.exec;
    }
}

TEST(ReadDesktopEntryTest, TakesTheMainGroupsExecAndRefusesHiddenOrEmptyEntries) {
    const testing::TempDir dir;
    const struct {
        const char* content;
        bool found;
        const char* name;
        const char* exec;
    } cases[] = {
        {"[Desktop Action New]\nExec=viewer --new\n[Desktop Entry]\nName = xCHM\nExec = xchm %f\n"
         "# Exec=commented\n",
         true, "xCHM", "xchm %f"},
        {"[Desktop Entry]\nName=Gone\nExec=gone %f\nHidden=true\n", false, "", ""},
        {"[Desktop Entry]\nName=No command\n[Desktop Action Open]\nExec=other %f\n", false, "", ""},
    };
    for (const auto& c : cases) {
        const auto entry = ReadDesktopEntry(dir.Write("viewer.desktop", c.content).string());
        ASSERT_EQ(entry.has_value(), c.found) << c.content;
        if (entry) {
            EXPECT_EQ(entry->name, c.name);
            EXPECT_EQ(entry->exec, c.exec);
        }
    }
    EXPECT_FALSE(ReadDesktopEntry(dir.Str() + "/absent.desktop"));
}

}  // namespace
}  // namespace tabrook::platform
