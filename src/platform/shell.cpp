#include "platform/shell.h"

#include "platform/exec_line.h"
#include "platform/handler_lookup.h"
#include "platform/shell_message.h"
#include "platform/shell_target.h"

namespace tabrook::platform {

bool DesktopShell::Open(QWidget* owner, const std::string& target, ShowCommand /*showCommand*/) {
    // The desktop decides how the handler's window is shown; the show command has no
    // counterpart there.
    const ShellTarget what = ClassifyTarget(target);
    if (what.kind == TargetKind::Missing) {
        ShowShellFailure(owner, what, ShellFailureText(what, OpenFailure::NotFound));
        return false;
    }
    for (const std::string& type : what.types) {
        const auto handler = lookup_.HandlerFor(type);
        if (!handler) {
            continue;
        }
        const auto arguments = ExpandExec(handler->exec, what.text);
        if (arguments.empty() || !starter_.Start(arguments)) {
            ShowShellFailure(
                owner, what,
                ShellFailureText(what, OpenFailure::NotStarted,
                                 handler->name.empty() ? handler->exec : handler->name));
            return false;
        }
        return true;
    }
    ShowShellFailure(owner, what, ShellFailureText(what, OpenFailure::NoProgram));
    return false;
}

}  // namespace tabrook::platform
