#include "about/help_commands.h"

#include "about/about_box.h"
#include "about/maker_info.h"
#include "app/form1.h"
#include "platform/shell.h"

namespace tabrook::about {

std::string HelpFilePath(const std::string& appFolder) {
    return appFolder + "/" + std::string(kHelpFileName);
}

void OpenHelpFile(app::Form1& form) {
    form.Svc().shell.Open(&form, HelpFilePath(form.Svc().appFolder), platform::ShowCommand::Show);
}

void OpenHomePage(app::Form1& form) {
    form.Svc().shell.Open(&form, HomePageAddress(), platform::ShowCommand::Show);
}

void ShowAboutBox(app::Form1& form) {
    Dialog1 box(form.Svc().shell);
    box.exec();
}

void OpenSupportMail(platform::Shell& shell, QWidget* aboutBox) {
    shell.Open(aboutBox, "mailto:" + SupportEmailAddress(), platform::ShowCommand::Maximized);
}

void OpenWebSite(platform::Shell& shell, QWidget* aboutBox) {
    shell.Open(aboutBox, HomePageAddress(), platform::ShowCommand::Show);
}

}  // namespace tabrook::about
