#include "convert/convert_workbook.h"

#include <string>

#include "app/form1.h"
#include "convert/convert_file.h"
#include "convert/format_table.h"
#include "platform/message_boxes.h"
#include "sources/file_list.h"

namespace tabrook::convert {

ConvertResult ConvertWorkbook(app::Form1& form, int row) {
    const std::string sourcePath = sources::ResolveSourcePath(form, row);
    if (sourcePath.empty()) {
        return ConvertResult::SourceMissing;
    }
    platform::Services& services = form.Svc();
    const OutputFormat& format = FormatForListIndex(form.Combo1().ListIndex());
    // The server's description is shown while the server still runs, before Close and Quit.
    const auto showError = [&](const std::string& description) {
        services.messageBoxes.Show(&form, description, platform::MessageIcon::None);
    };
    const FileConversion outcome = ConvertFile(
        services.automation, sourcePath, form.Paths().TargetPath + std::string(format.extension),
        format.fileFormat, false, showError);
    switch (outcome.result) {
        case FileConversionResult::kDone:
            return ConvertResult::Done;
        case FileConversionResult::kServerError:
            return ConvertResult::ServerError;
        case FileConversionResult::kTransportFailure:
            break;
    }
    return ConvertResult::TransportFailure;
}

}  // namespace tabrook::convert
