#include "calcserver/server/workbook_object.h"

#include <system_error>

#include "calcserver/finish/finish_package.h"
#include "calcserver/finish/finish_process.h"
#include "calcserver/server/calc_instance.h"
#include "calcserver/server/member_access.h"
#include "calcserver/server/save_formats.h"

namespace tabrook::calcserver::server {

using platform::Variant;

WorkbookObject::WorkbookObject(std::shared_ptr<CalcInstance> instance,
                               office::OfficeSession::DocumentId document,
                               std::filesystem::path source)
    : instance_(std::move(instance)), document_(document), source_(std::move(source)) {}

Variant WorkbookObject::Get(std::string_view member) {
    if (SameName(member, "ConversionReport")) {
        return lastReport_.Serialize();
    }
    ThrowMemberNotSupported();
}

void WorkbookObject::Put(std::string_view, const Variant&) {
    ThrowMemberNotSupported();
}

Variant WorkbookObject::Call(std::string_view member, const platform::Arguments& arguments) {
    return Guarded([&]() -> Variant {
        if (SameName(member, "SaveAs")) {
            SaveAs(arguments);
        } else if (SameName(member, "Close")) {
            Close();
        } else {
            ThrowMemberNotSupported();
        }
        return {};
    });
}

void WorkbookObject::SaveAs(const platform::Arguments& arguments) {
    const std::initializer_list<std::string_view> known{"Filename", "FileFormat"};
    const std::string name = RequireText(FindArgument(arguments, 0, "Filename", known));
    const std::int32_t code = RequireInteger(FindArgument(arguments, 1, "FileFormat", known));
    if (closed_) {
        throw platform::AutomationError(platform::kErrApplicationDefined,
                                        "Tabrook cannot save '" + name + "': the workbook '" +
                                            source_.string() + "' has been closed.");
    }
    const std::filesystem::path target =
        name.empty() ? std::filesystem::path() : std::filesystem::absolute(name);
    const SaveFormat format = LookUpSaveFormat(code, target);
    finish::CheckTarget(source_, target);

    office::OfficeSession& session = instance_->Session();
    const std::filesystem::path output =
        session.OutputFolder() / ("save-" + std::to_string(++saves_) + format.extension);
    struct RemoveOutput {
        const std::filesystem::path& file;
        ~RemoveOutput() {
            std::error_code ignored;
            std::filesystem::remove(file, ignored);
        }
    } removeOutput{output};
    lastReport_ = {};
    session.Store(document_, format.filter, output, target);
    lastReport_ = instance_->Finisher().Finish({source_, output, code, target});
}

void WorkbookObject::Close() {
    if (closed_) {
        return;
    }
    closed_ = true;
    instance_->Session().Close(document_);
}

}  // namespace tabrook::calcserver::server
