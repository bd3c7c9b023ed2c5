#include "convert/convert_file.h"

#include <exception>

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

// The server's own member; any other application answers 438, which means "no report".
std::string ReportOf(const ObjectRef& workbook) {
    try {
        const platform::Variant text = workbook->Get("ConversionReport");
        if (const auto* report = std::get_if<std::string>(&text)) {
            return *report;
        }
    } catch (const AutomationError& error) {
        if (error.Number() < 0) {
            throw;
        }
    }
    return {};
}

}  // namespace

FileConversion ConvertFile(const platform::AutomationRegistry& automation,
                           const std::string& sourcePath, const std::string& targetName,
                           std::int32_t fileFormat, bool wantReport,
                           const std::function<void(const std::string&)>& onServerError) {
    FileConversion outcome;
    ObjectRef application;
    ObjectRef workbook;
    try {
        application = automation.CreateObject("Excel.Application");
        const ObjectRef workbooks = platform::AsObject(application->Get("Workbooks"));
        workbook = platform::AsObject(workbooks->Call("Open", Arguments{{sourcePath}, {}}));
        // Only after Open: the server must not answer prompts about the source itself.
        application->Put("DisplayAlerts", false);
        workbook->Call("SaveAs", Arguments{{targetName}, {{"FileFormat", fileFormat}}});
        if (wantReport) {
            outcome.reportText = ReportOf(workbook);
        }
        workbook->Call("Close", {});
        application->Call("Quit", {});
        outcome.result = FileConversionResult::kDone;
    } catch (const AutomationError& error) {
        outcome.errorNumber = error.Number();
        outcome.description = error.Description();
        if (error.Number() > 0) {
            if (onServerError) {
                onServerError(outcome.description);
            }
            if (workbook) {
                CallQuietly(workbook, "Close");
            }
            if (application) {
                CallQuietly(application, "Quit");
            }
            outcome.result = FileConversionResult::kServerError;
        }
    } catch (const std::exception& error) {
        // Anything else from the automation layer counts as a broken transport.
        outcome.description = error.what();
    }
    // Released in this order on every path; an instance not sent Quit ends with its last
    // reference.
    workbook.reset();
    application.reset();
    return outcome;
}

}  // namespace tabrook::convert
