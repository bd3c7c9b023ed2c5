#pragma once
// Doubles of the platform's message boxes, shell and automation server: they record what
// the program asked of them and answer as the test scripted.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/automation.h"
#include "platform/message_boxes.h"
#include "platform/shell.h"

namespace tabrook::testing {

struct ShownMessage {
    std::string text;
    platform::MessageIcon icon;
    bool operator==(const ShownMessage&) const = default;
};

class ScriptedMessageBoxes final : public platform::MessageBoxes {
  public:
    void Show(QWidget* owner, const std::string& text, platform::MessageIcon icon) override;
    std::vector<ShownMessage> shown;
    std::vector<QWidget*> owners;
};

struct ShellCall {
    std::string target;
    platform::ShowCommand showCommand;
    QWidget* owner;
};

class ScriptedShell final : public platform::Shell {
  public:
    bool Open(QWidget* owner, const std::string& target,
              platform::ShowCommand showCommand) override;
    std::vector<ShellCall> calls;
};

// One member call on a scripted automation object, as the server saw it.
struct MemberCall {
    std::string object;  // "Application", "Workbooks" or "Workbook"
    std::string member;  // "Workbooks", "Open", "DisplayAlerts", ...
    std::string kind;    // "create", "get", "put" or "call"
    platform::Arguments arguments;
    platform::Variant value;  // for "put"
};

// Scripts an "Excel.Application" that records every step in order and fails the chosen
// step ("create", "Workbooks", "Open", "DisplayAlerts", "SaveAs", "Close", "Quit").
class ScriptedServer {
  public:
    void Register(platform::AutomationRegistry& registry,
                  const std::string& progId = "Excel.Application");
    void FailAt(std::string step, std::int32_t number,
                std::string description = "scripted failure");

    std::vector<MemberCall> calls;
    // Steps named as in FailAt, in the order they happened.
    std::vector<std::string> Steps() const;
    int instancesCreated = 0;
    int instancesAlive = 0;

  private:
    friend class ScriptedObject;
    void Record(MemberCall call);
    void MaybeFail(const std::string& step);

    struct Failure {
        std::int32_t number;
        std::string description;
    };
    std::map<std::string, Failure> failures_;
};

}  // namespace tabrook::testing
