#pragma once
// What the shell itself tells the user when it cannot open a target, in its own box: the
// program asking has no part in it.

#include <string>

#include "platform/shell_target.h"

class QWidget;

namespace tabrook::platform {

enum class OpenFailure { NotFound, NoProgram, NotStarted };

// `program` names the handler that could not be started (NotStarted only).
std::string ShellFailureText(const ShellTarget& target, OpenFailure failure,
                             const std::string& program = {});

// A modal box owned by `owner`, which stays blocked until the user closes it.
void ShowShellFailure(QWidget* owner, const ShellTarget& target, const std::string& text);

}  // namespace tabrook::platform
