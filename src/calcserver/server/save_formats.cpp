#include "calcserver/server/save_formats.h"

#include "platform/automation.h"

namespace tabrook::calcserver::server {

namespace {
constexpr std::int32_t kOpenXmlWorkbook = 51;
constexpr std::int32_t kOpenXmlMacroWorkbook = 52;
constexpr std::int32_t kBinaryWorkbook = 50;
}  // namespace

SaveFormat LookUpSaveFormat(std::int32_t code, const std::filesystem::path& target) {
    switch (code) {
        case kOpenXmlWorkbook:
            return {code, "Calc MS Excel 2007 XML", ".xlsx"};
        case kOpenXmlMacroWorkbook:
            return {code, "Calc MS Excel 2007 VBA XML", ".xlsm"};
        case kBinaryWorkbook:
            // The office writes the macro-enabled package; our own writer turns it into the
            // binary workbook.
            return {code, "Calc MS Excel 2007 VBA XML", ".xlsm"};
        default:
            throw platform::AutomationError(platform::kErrApplicationDefined,
                                            "Tabrook cannot save '" + target.string() +
                                                "': the file format " + std::to_string(code) +
                                                " is not supported.");
    }
}

}  // namespace tabrook::calcserver::server
