#pragma once
// Which program the desktop has set up to open a type of target, and starting it.

#include <optional>
#include <string>
#include <vector>

#include "platform/desktop_entry.h"

namespace tabrook::platform {

class HandlerLookup {
  public:
    virtual ~HandlerLookup() = default;
    // `type` is a MIME type ("application/vnd.ms-htmlhelp", "inode/directory") or a scheme's
    // type ("x-scheme-handler/https"). Nothing when no program is set up for it.
    virtual std::optional<DesktopEntry> HandlerFor(const std::string& type) const = 0;
};

// Asks xdg-mime, which follows the desktop's own choice where there is a desktop and the
// mimeapps lists and installed entries where there is none.
class XdgHandlerLookup final : public HandlerLookup {
  public:
    std::optional<DesktopEntry> HandlerFor(const std::string& type) const override;
};

class ProgramStarter {
  public:
    virtual ~ProgramStarter() = default;
    // Starts arguments[0] with the rest as its arguments, without waiting for it.
    virtual bool Start(const std::vector<std::string>& arguments) = 0;
};

class DetachedProgramStarter final : public ProgramStarter {
  public:
    bool Start(const std::vector<std::string>& arguments) override;
};

}  // namespace tabrook::platform
