// The office under a hostile process environment: a temporary folder whose name needs
// escaping, a umask that would open the office's pipe to everyone, and the leftovers of
// runs that were killed.

#include "calcserver/office/office_environment.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <string>

#include "calcserver/calc_fixtures.h"
#include "calcserver/server/register_calc_server.h"
#include "platform/automation.h"
#include "support/temp_dir.h"

namespace tabrook::calcserver {
namespace {

using platform::Arguments;
using platform::AsObject;
using platform::ObjectRef;
using testing::TempDir;

// TMPDIR and the umask for the length of one test.
class ScopedProcessEnvironment {
  public:
    ScopedProcessEnvironment(const std::filesystem::path& tmpdir, mode_t umask)
        : umask_(::umask(umask)) {
        if (const char* old = std::getenv("TMPDIR")) {
            tmpdir_ = old;
        }
        ::setenv("TMPDIR", tmpdir.c_str(), 1);
    }
    ~ScopedProcessEnvironment() {
        ::umask(umask_);
        if (tmpdir_) {
            ::setenv("TMPDIR", tmpdir_->c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }
    ScopedProcessEnvironment(const ScopedProcessEnvironment&) = delete;
    ScopedProcessEnvironment& operator=(const ScopedProcessEnvironment&) = delete;

  private:
    mode_t umask_;
    std::optional<std::string> tmpdir_;
};

// The unix socket behind the office's accept pipe, from its command line.
std::filesystem::path AcceptSocket(pid_t office) {
    std::ifstream cmdline("/proc/" + std::to_string(office) + "/cmdline");
    const std::string arguments((std::istreambuf_iterator<char>(cmdline)),
                                std::istreambuf_iterator<char>());
    const std::string marker = "--accept=pipe,name=";
    const auto at = arguments.find(marker);
    if (at == std::string::npos) {
        return {};
    }
    const auto end = arguments.find(';', at);
    return "/tmp/OSL_PIPE_" + std::to_string(::getuid()) + "_" +
           arguments.substr(at + marker.size(), end - at - marker.size());
}

TEST(OfficeEnvironment, ConvertsUnderAnOddTemporaryFolderAndKeepsItsPipePrivate) {
    const auto source = testing::SampleWorkbook();
    TempDir dir;
    const auto tmpdir = dir.MakeDir("x y#z%20 $HOME");
    const auto target = dir.Path() / "out.xlsx";
    ScopedProcessEnvironment environment(tmpdir, 0);
    std::filesystem::path socket;
    {
        platform::AutomationRegistry registry;
        RegisterCalcServer(registry);
        const ObjectRef application = registry.CreateObject("Excel.Application");
        const auto offices = testing::OfficeChildren();
        ASSERT_EQ(offices.size(), 1u);
        socket = AcceptSocket(offices.front());
        struct stat status {};
        ASSERT_EQ(::lstat(socket.c_str(), &status), 0) << socket;
        EXPECT_TRUE(S_ISSOCK(status.st_mode));
        EXPECT_EQ(status.st_mode & 077, 0u) << "others may connect to " << socket;

        const ObjectRef workbook = AsObject(AsObject(application->Get("Workbooks"))
                                                ->Call("Open", Arguments{{source.string()}, {}}));
        workbook->Call("SaveAs", Arguments{{target.string()}, {{"FileFormat", 51}}});
        workbook->Call("Close", {});
        application->Call("Quit", {});
        EXPECT_EQ(testing::ReadBack(target).at("Prices!C1#value"), "10");
    }
    // The server has ended its office, which leaves its socket behind.
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(socket))) << socket;
}

// A process id that no process has any more.
pid_t DeadPid() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST(OfficeEnvironment, RemovesOnlyTheLeftoversOfEndedRuns) {
    TempDir dir;
    ScopedProcessEnvironment environment(dir.Path(), 022);
    const std::string dead = std::to_string(DeadPid());
    const std::string live = std::to_string(::getpid());
    const std::string pipePrefix = "/tmp/OSL_PIPE_" + std::to_string(::getuid()) + "_tabrook_";
    struct Leftover {
        std::filesystem::path path;
        bool removed;
    };
    const Leftover leftovers[] = {
        {dir.Write("tabrook-office-" + dead + "-AbC123/p-x/profile/user/a.xcu", "x")
             .parent_path()
             .parent_path()
             .parent_path()
             .parent_path(),
         true},
        {dir.MakeDir("tabrook-xlsb-" + dead + "-AbC123"), true},
        {pipePrefix + dead + "_AbC123", true},
        {dir.MakeDir("tabrook-office-" + live + "-AbC123"), false},
        {dir.MakeDir("tabrook-xlsb-" + live + "-AbC123"), false},
        {pipePrefix + live + "_AbC123", false},
        // Not named by the rule: never ours to remove.
        {dir.MakeDir("tabrook-xlsb-AbC123"), false},
        {dir.MakeDir("tabrook-notes-" + dead), false},
        {dir.MakeDir("other-" + dead + "-AbC123"), false},
    };
    for (const Leftover& leftover : leftovers) {
        if (!std::filesystem::exists(leftover.path)) {
            std::ofstream(leftover.path) << "";
        }
    }
    const auto environmentObject = office::OfficeEnvironment::Create();
    for (const Leftover& leftover : leftovers) {
        EXPECT_EQ(!std::filesystem::exists(leftover.path), leftover.removed) << leftover.path;
        std::error_code ignored;
        if (leftover.path.string().starts_with("/tmp/OSL_PIPE_")) {
            std::filesystem::remove(leftover.path, ignored);
        }
    }
}

}  // namespace
}  // namespace tabrook::calcserver
