#pragma once
// Opening a folder, a file, a web address or a mail link with the program the desktop has
// set up for it, never through a shell command line. Like the Windows shell, this layer
// tells the user itself when it cannot open the target; callers need not look at the result.

#include <string>

class QWidget;

namespace tabrook::platform {

class HandlerLookup;
class ProgramStarter;

inline constexpr int kShowNormal = 1;  // SW_SHOWNORMAL
inline constexpr int kShow = 5;        // SW_SHOW
inline constexpr int kShowMaximized = 3;

class Shell {
  public:
    virtual ~Shell() = default;
    // Returns whether a handler took the target; callers may ignore it.
    virtual bool Open(QWidget* owner, const std::string& target, int showCommand) = 0;
};

class DesktopShell final : public Shell {
  public:
    DesktopShell(const HandlerLookup& lookup, ProgramStarter& starter)
        : lookup_(lookup), starter_(starter) {}
    bool Open(QWidget* owner, const std::string& target, int showCommand) override;

  private:
    const HandlerLookup& lookup_;
    ProgramStarter& starter_;
};

}  // namespace tabrook::platform
