#pragma once
// Opening a folder, a file, a web address or a mail link with the desktop's default
// handler, never through a shell command line.

#include <string>

class QWidget;

namespace tabrook::platform {

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
    bool Open(QWidget* owner, const std::string& target, int showCommand) override;
};

}  // namespace tabrook::platform
