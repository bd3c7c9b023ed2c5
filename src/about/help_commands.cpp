#include "about/help_commands.h"

#include "app/form1.h"

namespace tabrook::about {

void OpenHelpFile(app::Form1& /*form*/) {}
void OpenHomePage(app::Form1& /*form*/) {}
void ShowAboutBox(app::Form1& /*form*/) {}

}  // namespace tabrook::about
