// The desktop shell layer: it starts the program set up for a target with that target, and
// when it cannot, it tells the user itself in a box owned by the caller's window.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/handler_lookup.h"
#include "platform/shell.h"
#include "support/prerequisites.h"
#include "support/shell_tools.h"
#include "support/temp_dir.h"

namespace tabrook::platform {
namespace {

using Args = std::vector<std::string>;

// Stands in for the desktop's associations: only the types given have a program.
class FakeLookup final : public HandlerLookup {
  public:
    std::optional<DesktopEntry> HandlerFor(const std::string& type) const override {
        asked.push_back(type);
        const auto it = handlers.find(type);
        return it == handlers.end() ? std::nullopt : std::optional(it->second);
    }
    std::map<std::string, DesktopEntry> handlers;
    mutable std::vector<std::string> asked;
};

class RecordingStarter final : public ProgramStarter {
  public:
    bool Start(const Args& arguments) override {
        started.push_back(arguments);
        return starts;
    }
    bool starts = true;
    std::vector<Args> started;
};

struct ShownBox {
    QWidget* parent = nullptr;
    bool modal = false;
    std::string text;
};

class DesktopShellTest : public ::testing::Test {
  protected:
    // Opens `target` owned by the test's window and returns the box the shell showed, if any;
    // a box is closed once read, so the test cannot hang on it.
    std::optional<ShownBox> OpenAndReadBox(const std::string& target, bool* opened = nullptr) {
        std::optional<ShownBox> shown;
        // The timer dies with this call: when no box comes, it must not fire into a later test.
        QObject scope;
        QTimer::singleShot(0, &scope, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown = ShownBox{box->parentWidget(), box->isModal(), box->text().toStdString()};
                box->accept();
            }
        });
        const bool result = shell.Open(&owner, target, ShowCommand::Show);
        if (opened != nullptr) {
            *opened = result;
        }
        return shown;
    }

    const testing::TempDir dir;
    FakeLookup lookup;
    RecordingStarter starter;
    DesktopShell shell{lookup, starter};
    QWidget owner;
};

TEST_F(DesktopShellTest, WithNoProgramSetUpTheShellSaysSoInABoxOwnedByTheCaller) {
    const std::string folder = dir.MakeDir("Out put").string();
    const std::string help = dir.Write("help.chm", "ITSF").string();
    const struct {
        std::string target;
        std::string firstType;
        std::string says;
    } cases[] = {
        {folder, "inode/directory", "No program is set up to open folders."},
        {help, "application/vnd.ms-htmlhelp", "No program is set up to open files of this type"},
        {"https://example.org/home", "x-scheme-handler/https",
         "No program is set up to open web addresses."},
        {"mailto:support@example.org", "x-scheme-handler/mailto",
         "No program is set up to open mail links."},
    };
    for (const auto& c : cases) {
        lookup.asked.clear();
        bool opened = true;
        const auto box = OpenAndReadBox(c.target, &opened);
        ASSERT_TRUE(box) << c.target;
        EXPECT_EQ(box->parent, &owner) << c.target;
        EXPECT_TRUE(box->modal) << c.target;
        EXPECT_NE(box->text.find("\"" + c.target + "\" cannot be opened."), std::string::npos)
            << box->text;
        EXPECT_NE(box->text.find(c.says), std::string::npos) << box->text;
        ASSERT_FALSE(lookup.asked.empty());
        EXPECT_EQ(lookup.asked.front(), c.firstType);
        EXPECT_FALSE(opened);
    }
    EXPECT_TRUE(starter.started.empty());
}

TEST_F(DesktopShellTest, AMissingPathIsReportedWithoutAskingForAProgram) {
    const std::string missing = dir.Str() + "/help.chm";
    const auto box = OpenAndReadBox(missing);
    ASSERT_TRUE(box);
    EXPECT_NE(box->text.find("\"" + missing + "\" cannot be opened: it does not exist."),
              std::string::npos)
        << box->text;
    EXPECT_TRUE(lookup.asked.empty());
    EXPECT_TRUE(starter.started.empty());
}

TEST_F(DesktopShellTest, TheProgramSetUpForTheTargetStartsWithTheTargetAndNoBox) {
    const std::string help = dir.Write("a b/help.chm", "ITSF").string();
    const std::string source = dir.Write("notes.c", "int x;\n").string();
    const std::string web = "https://example.org/?q=a b&r=$x";
    lookup.handlers = {
        {"application/vnd.ms-htmlhelp", {"xCHM", "xchm %f"}},
        {"text/plain", {"Editor", "\"/opt/An Editor/edit\" --line=1 %U"}},
        {"x-scheme-handler/https", {"Browser", "browser --new-window %u"}},
        {"x-scheme-handler/mailto", {"Mail", "mailer"}},
    };
    const struct {
        std::string target;
        Args expected;
    } cases[] = {
        {help, {"xchm", help}},
        // No program for C source itself: the one for its broader type, plain text, serves.
        {source, {"/opt/An Editor/edit", "--line=1", source}},
        {"file://" + help, {"xchm", help}},
        {web, {"browser", "--new-window", web}},
        {"mailto:support@example.org", {"mailer", "mailto:support@example.org"}},
    };
    for (const auto& c : cases) {
        starter.started.clear();
        bool opened = false;
        EXPECT_FALSE(OpenAndReadBox(c.target, &opened)) << c.target;
        EXPECT_TRUE(opened) << c.target;
        EXPECT_EQ(starter.started, std::vector<Args>{c.expected}) << c.target;
    }
}

TEST_F(DesktopShellTest, AProgramThatDoesNotStartIsNamedInTheShellsBox) {
    const std::string help = dir.Write("help.chm", "ITSF").string();
    lookup.handlers = {{"application/vnd.ms-htmlhelp", {"xCHM", "xchm %f"}}};
    starter.starts = false;
    const auto box = OpenAndReadBox(help);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->parent, &owner);
    EXPECT_NE(box->text.find("\"xCHM\", could not be started."), std::string::npos) << box->text;
}

// The viewer install-deps.sh brings is what this machine opens help.chm with, even with no
// desktop running.
TEST(XdgHandlerLookupTest, FindsAProgramForCompiledHelp) {
    if (!testing::HasCommand("xdg-mime")) {
        TABROOK_SKIP_UNLESS_CI() << "xdg-mime is missing: run scripts/install-deps.sh";
    }
    const auto handler = XdgHandlerLookup().HandlerFor("application/vnd.ms-htmlhelp");
    ASSERT_TRUE(handler) << "no viewer for help.chm: run scripts/install-deps.sh";
    EXPECT_FALSE(handler->exec.empty());
}

}  // namespace
}  // namespace tabrook::platform
