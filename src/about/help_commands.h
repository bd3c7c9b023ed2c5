#pragma once
// Help file, the maker's home page and the About box.

namespace tabrook::app {
class Form1;
}

namespace tabrook::about {

void OpenHelpFile(app::Form1& form);
void OpenHomePage(app::Form1& form);
void ShowAboutBox(app::Form1& form);

}  // namespace tabrook::about
