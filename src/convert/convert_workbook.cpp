#include "convert/convert_workbook.h"

#include <string>

#include "app/form1.h"
#include "convert/format_table.h"
#include "platform/automation.h"
#include "platform/message_boxes.h"
#include "sources/file_list.h"

namespace tabrook::convert {
namespace {

using platform::Arguments;
using platform::AutomationError;
using platform::ObjectRef;

// A second failure while cleaning up changes nothing: the result is already settled.
void CallQuietly(const ObjectRef& object, const char* member) {
    try {
        object->Call(member, {});
    } catch (const std::exception&) {
    }
}

}  // namespace

ConvertResult ConvertWorkbook(app::Form1& form, int row) {
    const std::string sourcePath = sources::ResolveSourcePath(form, row);
    if (sourcePath.empty()) {
        return ConvertResult::SourceMissing;
    }
    std::string targetName = form.Paths().TargetPath;
    platform::Services& services = form.Svc();

    ConvertResult result = ConvertResult::TransportFailure;
    ObjectRef application;
    ObjectRef workbook;
    try {
        application = services.automation.CreateObject("Excel.Application");
        const ObjectRef workbooks = platform::AsObject(application->Get("Workbooks"));
        workbook = platform::AsObject(workbooks->Call("Open", Arguments{{sourcePath}, {}}));
        // Only after Open: the server must not answer prompts about the source itself.
        application->Put("DisplayAlerts", false);

        const OutputFormat& format = FormatForListIndex(form.Combo1().ListIndex());
        targetName += format.extension;
        workbook->Call("SaveAs", Arguments{{targetName}, {{"FileFormat", format.fileFormat}}});
        workbook->Call("Close", {});
        application->Call("Quit", {});
        result = ConvertResult::Done;
    } catch (const AutomationError& error) {
        if (error.Number() > 0) {
            services.messageBoxes.Show(&form, error.Description(), platform::MessageIcon::None);
            if (workbook) {
                CallQuietly(workbook, "Close");
            }
            if (application) {
                CallQuietly(application, "Quit");
            }
            result = ConvertResult::ServerError;
        }
    } catch (const std::exception&) {
        // Anything else from the automation layer counts as a broken transport.
    }
    // Released in this order on every path; an instance not sent Quit ends with its last
    // reference.
    workbook.reset();
    application.reset();
    return result;
}

}  // namespace tabrook::convert
