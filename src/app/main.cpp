// Tabrook: converts legacy .xls workbooks into .xlsx, .xlsm or .xlsb.

#include <QApplication>

#include "app/form1.h"
#include "calcserver/server/register_calc_server.h"
#include "platform/automation.h"
#include "platform/controls/icons.h"
#include "platform/handler_lookup.h"
#include "platform/message_boxes.h"
#include "platform/posix_file_system.h"
#include "platform/qt_dialogs.h"
#include "platform/shell.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tabrook"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tabrook"));
    QApplication::setApplicationVersion(QStringLiteral(TABROOK_VERSION_TEXT));
    QApplication::setOrganizationName(QStringLiteral(TABROOK_COMPANY_NAME));
    QApplication::setDesktopFileName(QStringLiteral("tabrook"));
    QApplication::setWindowIcon(
        tabrook::platform::ResourceIcon(QStringLiteral("application.svg"), 48));

    tabrook::platform::PosixFileSystem fileSystem;
    tabrook::platform::QtMessageBoxes messageBoxes;
    const tabrook::platform::XdgHandlerLookup handlerLookup;
    tabrook::platform::DetachedProgramStarter programStarter;
    tabrook::platform::DesktopShell shell(handlerLookup, programStarter);
    tabrook::platform::QtDialogs dialogs;
    tabrook::platform::AutomationRegistry automation;
    tabrook::calcserver::RegisterCalcServer(automation);

    tabrook::platform::Services services{
        fileSystem, messageBoxes, shell,
        dialogs,    automation,   QApplication::applicationDirPath().toStdString()};
    tabrook::app::Form1 form1(services);
    form1.show();
    return QApplication::exec();
}
