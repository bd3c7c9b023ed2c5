#include "convert/workbook_conversion.h"

#include "convert/format_table.h"
#include "platform/automation.h"

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

ConvertResult ConvertWorkbookFile(const platform::AutomationRegistry& automation,
                                  const std::string& sourcePath, std::string targetPath,
                                  int formatListIndex, const DescriptionSink& showDescription) {
    if (sourcePath.empty()) {
        return ConvertResult::SourceMissing;
    }
    ConvertResult result = ConvertResult::TransportFailure;
    ObjectRef application;
    ObjectRef workbook;
    try {
        application = automation.CreateObject("Excel.Application");
        const ObjectRef workbooks = platform::AsObject(application->Get("Workbooks"));
        workbook = platform::AsObject(workbooks->Call("Open", Arguments{{sourcePath}, {}}));
        // Only after Open: the server must not answer prompts about the source itself.
        application->Put("DisplayAlerts", false);

        const OutputFormat& format = FormatForListIndex(formatListIndex);
        targetPath += format.extension;
        workbook->Call("SaveAs", Arguments{{targetPath}, {{"FileFormat", format.fileFormat}}});
        workbook->Call("Close", {});
        application->Call("Quit", {});
        result = ConvertResult::Done;
    } catch (const AutomationError& error) {
        if (error.Number() > 0) {
            showDescription(error.Description());
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
