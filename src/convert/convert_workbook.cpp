#include "convert/convert_workbook.h"

#include <string>

#include "app/form1.h"
#include "platform/message_boxes.h"
#include "sources/file_list.h"

namespace tabrook::convert {

ConvertResult ConvertWorkbook(app::Form1& form, int row) {
    platform::Services& services = form.Svc();
    return ConvertWorkbookFile(
        services.automation, sources::ResolveSourcePath(form, row), form.Paths().TargetPath,
        form.Combo1().ListIndex(), [&](const std::string& description) {
            services.messageBoxes.Show(&form, description, platform::MessageIcon::None);
        });
}

}  // namespace tabrook::convert
