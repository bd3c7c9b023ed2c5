#include "convert/run_conversion.h"

#include <string>

#include "app/form1.h"
#include "convert/convert_workbook.h"
#include "convert/format_table.h"
#include "convert/name_collision.h"
#include "output/output_folder_commands.h"
#include "platform/message_boxes.h"
#include "platform/shell.h"

namespace tabrook::convert {
namespace {

using platform::MessageIcon;

// Every way out of a run leaves the bar empty and the default pointer.
class RunEnd {
  public:
    explicit RunEnd(app::Form1& form) : form_(form) {}
    ~RunEnd() {
        form_.ProgressBar1().SetValue(0);
        form_.SetMousePointer(app::MousePointer::Default);
    }
    RunEnd(const RunEnd&) = delete;
    RunEnd& operator=(const RunEnd&) = delete;

  private:
    app::Form1& form_;
};

// The row's text cut before its last "."; a text without one stays whole.
std::string BaseName(const std::string& rowText) {
    const std::size_t dot = rowText.rfind('.');
    return dot == std::string::npos ? rowText : rowText.substr(0, dot);
}

}  // namespace

void RunConversion(app::Form1& form) {
    const RunEnd end(form);
    platform::ListView& files = form.ListView2();
    // Read once: it bounds the loop whatever happens to the list meanwhile.
    const int rowCount = files.Count();
    if (rowCount < 1) {
        form.Svc().messageBoxes.Show(&form, "Please select excel at fast!",
                                     MessageIcon::Information);
        return;
    }
    form.ProgressBar1().SetMax(rowCount);
    if (!output::PrepareOutputFolder(form)) {
        return;
    }
    form.SetMousePointer(app::MousePointer::Hourglass);

    app::ConversionPaths& paths = form.Paths();
    for (int row = 1; row <= rowCount; ++row) {
        // A row that is no longer there counts as unticked.
        if (row <= files.Count() && files.Item(row).Checked()) {
            const std::string baseName = BaseName(files.Item(row).Text());
            const std::string_view extension =
                FormatForListIndex(form.Combo1().ListIndex()).extension;
            paths.TargetPath =
                FreeTargetPath(form.Svc().fileSystem, paths.OutputDir + baseName, extension);
            if (ConvertWorkbook(form, row) != ConvertResult::Done) {
                form.Svc().messageBoxes.Show(&form, "Convert " + baseName + " file failed!",
                                             MessageIcon::Critical);
            }
        }
        form.ProgressBar1().SetValue(row);
    }
    form.Svc().shell.Open(&form, paths.OutputDir, platform::ShowCommand::Show);
}

}  // namespace tabrook::convert
