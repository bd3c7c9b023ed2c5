#include "calcserver/server/save_formats.h"

#include "platform/automation.h"
#include "platform/file_formats.h"

namespace tabrook::calcserver::server {

SaveFormat LookUpSaveFormat(std::int32_t code, const std::filesystem::path& target) {
    if (const platform::FileFormatInfo* info = platform::FindFileFormat(code)) {
        switch (info->format) {
            case platform::FileFormat::OpenXmlWorkbook:
                return {code, "Calc MS Excel 2007 XML", ".xlsx"};
            case platform::FileFormat::OpenXmlMacroWorkbook:
                return {code, "Calc MS Excel 2007 VBA XML", ".xlsm"};
            case platform::FileFormat::BinaryWorkbook:
                // The office writes the macro-enabled package; our own writer turns it into
                // the binary workbook.
                return {code, "Calc MS Excel 2007 VBA XML", ".xlsm"};
        }
    }
    throw platform::AutomationError(platform::kErrApplicationDefined,
                                    "Tabrook cannot save '" + target.string() +
                                        "': the file format " + std::to_string(code) +
                                        " is not supported.");
}

}  // namespace tabrook::calcserver::server
