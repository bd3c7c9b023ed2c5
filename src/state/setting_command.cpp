#include "state/setting_command.h"

#include "app/form1.h"
#include "state/setting_dialog.h"
#include "state/state_files.h"

namespace tabrook::state {

void ShowSettingDialog(app::Form1& form) {
    platform::Services& services = form.Svc();
    // A new dialog on every opening, so it always shows what set.txt holds now.
    Setting dialog(services.fileSystem, services.messageBoxes,
                   StateFilePath(services.appFolder, kSettingsFile));
    dialog.exec();
}

}  // namespace tabrook::state
