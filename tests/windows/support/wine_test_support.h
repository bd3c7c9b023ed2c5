#pragma once
// What the Windows tests share: a scratch folder whose name needs UTF-16 (letters beyond
// ASCII and a space), the test server's call log, and waiting for a server process to end.

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tabrook::wintest {

class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder's path in UTF-8, with a trailing "\" when `name` is empty.
    std::string Path(const std::string& name = "") const;
    void Write(const std::string& name, const std::string& content) const;
    std::string Read(const std::string& name) const;
    bool Exists(const std::string& name) const;

  private:
    std::filesystem::path root_;
};

struct LoggedCall {
    DWORD process = 0;
    std::string text;
};

// The test server's log for this test: TABROOK_TEST_SERVER_LOG points at a file of its own
// while the object lives, so every server process COM starts for the test writes there.
class ServerLog {
  public:
    explicit ServerLog(const ScratchFolder& folder);
    ~ServerLog();
    ServerLog(const ServerLog&) = delete;
    ServerLog& operator=(const ServerLog&) = delete;

    std::vector<LoggedCall> Entries() const;
    // The calls of the conversion alone ("get", "put" and "call" lines, and "create").
    std::vector<std::string> Calls() const;
    std::vector<DWORD> Processes() const;
    // Whether every server process the log saw has ended: each start matched by its exit
    // or its crash, waiting up to 20 s for it. Process ids are reused at once under Wine,
    // so the log is asked, not the system.
    bool EveryProcessEnded() const;

  private:
    bool LoggedProcessesEnded() const;

    std::string path_;
};

struct ProgramRun {
    DWORD exitCode = 0;
    std::string output;  // what it wrote to its standard output
};

// Runs `program` (beside this test's own executable) with `arguments`, each quoted, and
// waits for it to end; in `folder` itself with `inFolder`.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const ScratchFolder& folder, bool inFolder = false);

std::filesystem::path FromUtf8(const std::string& text);

}  // namespace tabrook::wintest
