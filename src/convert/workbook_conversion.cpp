#include "convert/workbook_conversion.h"

#include "convert/convert_file.h"
#include "convert/format_table.h"

namespace tabrook::convert {

ConvertResult ConvertWorkbookFile(const platform::AutomationRegistry& automation,
                                  const std::string& sourcePath, std::string targetPath,
                                  int formatListIndex, const DescriptionSink& showDescription) {
    if (sourcePath.empty()) {
        return ConvertResult::SourceMissing;
    }
    const OutputFormat& format = FormatForListIndex(formatListIndex);
    targetPath += format.extension;
    const FileConversion outcome = ConvertFile(automation, sourcePath, targetPath,
                                               format.fileFormat, false, showDescription);
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
