#pragma once
// Help file, the maker's home page and the About box. Every opening goes through the
// platform's shell and its result is ignored: a missing help file or browser shows no
// message from the program.

#include <string>
#include <string_view>

class QWidget;

namespace tabrook::app {
class Form1;
}

namespace tabrook::platform {
class Shell;
}

namespace tabrook::about {

inline constexpr std::string_view kHelpFileName = "help.chm";

// The help file's path: the application's folder joined with the file name as plain text.
std::string HelpFilePath(const std::string& appFolder);

// Opens help.chm beside the executable, owned by the main window.
void OpenHelpFile(app::Form1& form);
// Opens the maker's home page, owned by the main window.
void OpenHomePage(app::Form1& form);
// Shows a new About box modally, without an owner window; returns when it has closed.
void ShowAboutBox(app::Form1& form);

// The About box's two links; `aboutBox` owns the opening.
void OpenSupportMail(platform::Shell& shell, QWidget* aboutBox);
void OpenWebSite(platform::Shell& shell, QWidget* aboutBox);

}  // namespace tabrook::about
