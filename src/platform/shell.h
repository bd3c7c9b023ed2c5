#pragma once
// Opening a folder, a file, a web address or a mail link with the program the desktop has
// set up for it, never through a shell command line. Like the Windows shell, this layer
// tells the user itself when it cannot open the target; callers need not look at the result.

#include <string>

class QWidget;

namespace tabrook::platform {

class HandlerLookup;
class ProgramStarter;

// How the opened window should appear, by the values of the Windows shell's show commands.
enum class ShowCommand { Normal = 1, Maximized = 3, Show = 5 };

class Shell {
  public:
    virtual ~Shell() = default;
    // Returns whether a handler took the target; callers may ignore it.
    virtual bool Open(QWidget* owner, const std::string& target, ShowCommand showCommand) = 0;
};

class DesktopShell final : public Shell {
  public:
    DesktopShell(const HandlerLookup& lookup, ProgramStarter& starter)
        : lookup_(lookup), starter_(starter) {}
    bool Open(QWidget* owner, const std::string& target, ShowCommand showCommand) override;

  private:
    const HandlerLookup& lookup_;
    ProgramStarter& starter_;
};

}  // namespace tabrook::platform
