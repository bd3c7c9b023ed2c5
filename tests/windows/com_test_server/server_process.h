#pragma once
// One process of the test server: its call log, its instruction for faults and its life,
// which ends when the last object handed out is released, as the real application's does.

#include <windows.h>

#include <string>
#include <vector>

namespace tabrook::testserver {

// {6F1C3A52-9B7E-4D21-A8C4-2E5B7D90F317}; test-only, registered in Wine prefixes we make.
inline constexpr CLSID kTestServerClassId = {
    0x6F1C3A52, 0x9B7E, 0x4D21, {0xA8, 0xC4, 0x2E, 0x5B, 0x7D, 0x90, 0xF3, 0x17}};

// What a workbook may ask of the server, one instruction a line:
//   fail MEMBER NUMBER TEXT   the member raises an application error
//   missing MEMBER            the member is unknown from then on
//   crash MEMBER              the process ends inside the call
struct Fault {
    std::string kind;  // "fail", "missing", "crash" or empty
    std::string member;
    int number = 0;
    std::string text;
};

// An application error, reported to the caller through EXCEPINFO as the real server does.
struct CallFailure {
    int number;
    std::string text;
};

class ServerProcess {
  public:
    explicit ServerProcess(DWORD mainThread);

    void ObjectMade();
    void ObjectGone();
    bool AnyObjectMade() const { return everMade_; }

    // Appends one line, with this process's id in front, and flushes it at once so that a
    // crash keeps everything logged before it.
    void Log(const std::string& line) const;

    void AddFaults(const std::string& instructions);
    // The fault for `member`, if one was asked for.
    const Fault* FaultFor(const std::string& member) const;
    // Fails or crashes as asked for `member`; throws CallFailure for a "fail".
    void ActOnFault(const std::string& member) const;
    [[noreturn]] void Crash() const;

  private:
    DWORD mainThread_;
    long liveObjects_ = 0;
    bool everMade_ = false;
    std::wstring logPath_;
    std::vector<Fault> faults_;
};

}  // namespace tabrook::testserver
