// No office outlives its client: a child process creates an instance and is killed with
// SIGKILL, which leaves no chance to clean up; the kernel must end the office.
// The client is client_killed_helper.cpp, a program of its own.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "calcserver/calc_fixtures.h"
#include "calcserver/server/register_calc_server.h"
#include "support/temp_dir.h"

extern char** environ;

namespace tabrook::calcserver {
namespace {

TEST(CalcServerClient, OfficeDiesWithAKilledClient) {
    testing::TempDir dir;
    const std::string report = (dir.Path() / "office.pid").string();
    std::string helper = TABROOK_CLIENT_HELPER;
    std::string reportArgument = report;
    char* argv[] = {helper.data(), reportArgument.data(), nullptr};
    pid_t client = 0;
    posix_spawn_file_actions_t quiet;
    ::posix_spawn_file_actions_init(&quiet);
    ::posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const int spawned = ::posix_spawn(&client, helper.c_str(), &quiet, nullptr, argv, environ);
    ::posix_spawn_file_actions_destroy(&quiet);
    ASSERT_EQ(spawned, 0);

    pid_t office = 0;
    for (int tries = 0; tries < 1200 && office == 0; ++tries) {
        std::ifstream(report) >> office;
        if (office == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    // The client's private folder, from the office's command line.
    std::ifstream cmdline("/proc/" + std::to_string(office) + "/cmdline");
    const std::string arguments((std::istreambuf_iterator<char>(cmdline)),
                                std::istreambuf_iterator<char>());
    ::kill(client, SIGKILL);
    ::waitpid(client, nullptr, 0);
    ASSERT_GT(office, 0) << "the client never reported its office";
    EXPECT_TRUE(testing::AwaitGone(office, 30))
        << "soffice.bin " << office << " outlived its client";

    const std::string marker = "UserInstallation=file://";
    const auto at = arguments.find(marker);
    ASSERT_NE(at, std::string::npos);
    const std::filesystem::path folder =
        std::filesystem::path(arguments.substr(at + marker.size()).c_str())
            .parent_path()
            .parent_path();
    ASSERT_TRUE(std::filesystem::exists(folder));
    // The next program to start an office removes what the killed one had to leave.
    platform::AutomationRegistry registry;
    RegisterCalcServer(registry);
    registry.CreateObject("Excel.Application");
    EXPECT_FALSE(std::filesystem::exists(folder)) << folder;
}

}  // namespace
}  // namespace tabrook::calcserver
