// Measures start-up with a long source list and the listing of a large folder, on the real
// file system and real widgets (offscreen). Prints one line of figures.

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "app/form1.h"
#include "platform/automation.h"
#include "platform/handler_lookup.h"
#include "platform/message_boxes.h"
#include "platform/posix_file_system.h"
#include "platform/qt_dialogs.h"
#include "platform/shell.h"
#include "sources/file_list.h"

namespace {

double Seconds(std::chrono::steady_clock::duration elapsed) {
    return std::chrono::duration<double>(elapsed).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s APP_FOLDER LARGE_FOLDER\n", argv[0]);
        return 2;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    tabrook::platform::PosixFileSystem fileSystem;
    tabrook::platform::QtMessageBoxes messageBoxes;
    const tabrook::platform::XdgHandlerLookup handlerLookup;
    tabrook::platform::DetachedProgramStarter programStarter;
    tabrook::platform::DesktopShell shell(handlerLookup, programStarter);
    tabrook::platform::QtDialogs dialogs;
    tabrook::platform::AutomationRegistry automation;
    tabrook::platform::Services services{fileSystem, messageBoxes, shell,
                                         dialogs,    automation,   argv[1]};

    const auto loadStart = std::chrono::steady_clock::now();
    tabrook::app::Form1 form(services);  // start-up runs here, before the window is shown
    const double startup = Seconds(std::chrono::steady_clock::now() - loadStart);

    const std::string folder = argv[2];
    form.ListView1().Add(folder).SetSelected(true);
    const auto fillStart = std::chrono::steady_clock::now();
    tabrook::sources::FillFileList(form, folder);
    const double fill = Seconds(std::chrono::steady_clock::now() - fillStart);

    std::printf("entries=%d files=%d startup_s=%.4f fill_s=%.4f\n", form.ListView1().Count() - 1,
                form.ListView2().Count(), startup, fill);
    return 0;
}
