// tabrook-convert as a script runs it: real corpus workbooks in a folder tree, the real
// LibreOffice-backed server, outputs, report lines and exit statuses checked, and nothing
// left behind: no office process, no private folder, no temporary beside a result.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <set>
#include <thread>

#include "support/prerequisites.h"
#include "support/temp_dir.h"

extern char** environ;

namespace tabrook::cli {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

class ConvertProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        const fs::path corpus = testing::CorpusDir();
        if (corpus.empty() || !fs::exists("/usr/lib/libreoffice/program/soffice.bin")) {
            TABROOK_SKIP_UNLESS_CI() << "needs the shared corpus and LibreOffice";
        }
        fs::create_directories(Tree() / "a/sub");
        fs::create_directories(Tree() / "b");
        fs::copy_file(corpus / "Simple.xls", Tree() / "a/Simple.xls");
        fs::copy_file(corpus / "SimpleMultiCell.xls", Tree() / "a/sub/SimpleMultiCell.xls");
        fs::copy_file(corpus / "Simple.xls", Tree() / "b/Simple.xls");
        fs::copy_file(corpus / "Simple.xls", Tree() / "b/.hidden.xls");
        work.Write("tree/b/broken.xls", std::string(4096, '\x7f'));
        work.MakeDir("tmp");
    }
    fs::path Tree() const { return work.Path() / "tree"; }
    fs::path Out(const char* name = "out") const { return work.Path() / name; }

    // Starts the program with a private TMPDIR and profile cache.
    pid_t Start(std::vector<std::string> arguments) const {
        std::vector<std::string> environment{"TMPDIR=" + (work.Path() / "tmp").string(),
                                             "XDG_CACHE_HOME=" + (work.Path() / "cache").string(),
                                             "PATH=/usr/bin:/bin"};
        arguments.insert(arguments.begin(), TABROOK_CONVERT_PROGRAM);
        std::vector<char*> argv;
        std::vector<char*> envp;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        for (std::string& variable : environment) {
            envp.push_back(variable.data());
        }
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        EXPECT_EQ(::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }
    static int Wait(pid_t pid) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    int Run(std::vector<std::string> arguments) const { return Wait(Start(std::move(arguments))); }

    // Offices started for this test's TMPDIR, whoever their parent is now.
    std::vector<pid_t> OfficesOfThisTest() const {
        std::vector<pid_t> offices;
        const std::string marker = (work.Path() / "tmp").string();
        for (const auto& entry : fs::directory_iterator("/proc")) {
            std::ifstream file(entry.path() / "cmdline");
            const std::string line((std::istreambuf_iterator<char>(file)), {});
            if (line.find("soffice.bin") != std::string::npos &&
                line.find(marker) != std::string::npos) {
                offices.push_back(std::stoi(entry.path().filename().string()));
            }
        }
        return offices;
    }
    // Nothing of a run is left: no office, no private folder, no temporary beside a result.
    void ExpectNothingLeft(const fs::path& out) const {
        EXPECT_THAT(OfficesOfThisTest(), ::testing::IsEmpty());
        EXPECT_TRUE(fs::is_empty(work.Path() / "tmp"));
        if (fs::exists(out)) {
            for (const auto& entry : fs::recursive_directory_iterator(out)) {
                EXPECT_EQ(entry.path().filename().string().find(".tabrook-"), std::string::npos)
                    << entry.path();
            }
        }
    }
    static std::set<std::string> Files(const fs::path& folder) {
        std::set<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (entry.is_regular_file()) {
                files.insert(entry.path().lexically_relative(folder).string());
            }
        }
        return files;
    }
    // Each line with its timing and the run's own output folder taken out.
    static std::vector<std::string> ReportLines(const fs::path& report, const fs::path& out) {
        std::ifstream in(report);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            line = std::regex_replace(line, std::regex(R"("seconds":[0-9.]+)"), "");
            line = std::regex_replace(line, std::regex(out.string()), "OUT");
            lines.push_back(line);
        }
        return lines;
    }

    TempDir work;
};

TEST_F(ConvertProgram, ConvertsATreeReportsEveryWorkbookAndSplitsIntoShardsAlike) {
    const std::string report = (work.Path() / "report.jsonl").string();
    EXPECT_EQ(Run({"--recursive", "--mirror", "--jobs", "2", "--report", report, "--out",
                   Out().string(), Tree().string()}),
              1);  // broken.xls fails
    const std::set<std::string> converted{"a/Simple.xlsx", "a/sub/SimpleMultiCell.xlsx",
                                          "b/Simple.xlsx"};
    EXPECT_EQ(Files(Out()), converted);
    const std::vector<std::string> lines = ReportLines(report, Out());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_THAT(lines[0],
                ::testing::HasSubstr(R"("target":"OUT/a/Simple.xlsx","result":"converted")"));
    EXPECT_THAT(lines[0], ::testing::HasSubstr(R"("values.sheetsMatched":)"));
    EXPECT_THAT(
        lines[3],
        ::testing::HasSubstr(
            R"(broken.xls","target":"OUT/b/broken.xlsx","result":"failed","error":1004,"message":")"));
    ExpectNothingLeft(Out());

    // A rerun continues: what is there is skipped, nothing is overwritten.
    const auto written = fs::last_write_time(Out() / "a/Simple.xlsx");
    EXPECT_EQ(Run({"-r", "--mirror", "--skip-existing", "--out", Out().string(), Tree().string()}),
              1);
    EXPECT_EQ(fs::last_write_time(Out() / "a/Simple.xlsx"), written);
    EXPECT_EQ(Files(Out()), converted);

    // Without --skip-existing a result never replaces a file: it takes the next free name.
    EXPECT_EQ(Run({"--out", Out().string(), (Tree() / "a/Simple.xls").string()}), 0);
    EXPECT_TRUE(fs::exists(Out() / "Simple.xlsx"));
    EXPECT_EQ(Run({"--out", Out().string(), (Tree() / "a/Simple.xls").string()}), 0);
    EXPECT_TRUE(fs::exists(Out() / "Simple1.xlsx"));

    // Two shards, one after the other, give the same results and the same report lines.
    const std::string shards = (work.Path() / "shards.jsonl").string();
    for (const char* shard : {"2/2", "1/2"}) {
        Run({"-r", "--mirror", "--shard", shard, "--report", shards, "-o", Out("split").string(),
             Tree().string()});
    }
    EXPECT_EQ(Files(Out("split")), converted);
    std::vector<std::string> split = ReportLines(shards, Out("split"));
    std::rotate(split.begin(), split.begin() + 2, split.end());
    EXPECT_EQ(split, lines);
    ExpectNothingLeft(Out("split"));
}

TEST_F(ConvertProgram, StoppedMidRunLeavesNothingAndARerunFinishesTheJob) {
    std::vector<std::string> arguments{"--jobs", "1", "--skip-existing", "-o", Out().string()};
    for (int i = 0; i < 8; ++i) {
        const fs::path copy = Tree() / ("copy" + std::to_string(i) + ".xls");
        fs::copy_file(Tree() / "a/Simple.xls", copy);
        arguments.push_back(copy.string());
    }
    const pid_t run = Start(arguments);
    // Stopped once the first result is placed and the next workbook is on its way.
    for (int i = 0; i < 1200 && !fs::exists(Out() / "copy0.xlsx"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(fs::exists(Out() / "copy0.xlsx"));
    ::kill(run, SIGTERM);
    EXPECT_EQ(Wait(run), 128 + SIGTERM);
    ExpectNothingLeft(Out());
    EXPECT_LT(Files(Out()).size(), 8u);

    EXPECT_EQ(Run(arguments), 0);
    EXPECT_EQ(Files(Out()).size(), 8u);
    ExpectNothingLeft(Out());
}

TEST_F(ConvertProgram, TellsBadUsageApartFromFailure) {
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_EQ(Run({"--jobs", "many", "-o", Out().string(), Tree().string()}), 2);
    EXPECT_EQ(Run({Tree().string()}), 2);
    EXPECT_FALSE(fs::exists(Out()));
    EXPECT_EQ(Run({"-o", Out().string(), (Tree() / "missing.xls").string()}), 1);
}

}  // namespace
}  // namespace tabrook::cli
