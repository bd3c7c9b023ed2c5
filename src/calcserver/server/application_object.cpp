#include "calcserver/server/application_object.h"

#include <filesystem>

#include "calcserver/office/office_session.h"
#include "calcserver/server/calc_instance.h"
#include "calcserver/server/member_access.h"
#include "calcserver/server/workbook_object.h"

namespace tabrook::calcserver::server {

using platform::Variant;

WorkbooksObject::WorkbooksObject(std::shared_ptr<CalcInstance> instance)
    : instance_(std::move(instance)) {}

Variant WorkbooksObject::Get(std::string_view) {
    ThrowMemberNotSupported();
}

void WorkbooksObject::Put(std::string_view, const Variant&) {
    ThrowMemberNotSupported();
}

Variant WorkbooksObject::Call(std::string_view member, const platform::Arguments& arguments) {
    return Guarded([&]() -> Variant {
        if (!SameName(member, "Open")) {
            ThrowMemberNotSupported();
        }
        const std::string name = RequireText(FindArgument(arguments, 0, "Filename", {"Filename"}));
        if (name.empty()) {
            throw platform::AutomationError(
                platform::kErrApplicationDefined,
                "Tabrook cannot open the workbook: no file name was given.");
        }
        const std::filesystem::path source = std::filesystem::absolute(name);
        const auto document = instance_->Session().Open(source);
        return platform::ObjectRef(std::make_shared<WorkbookObject>(instance_, document, source));
    });
}

ApplicationObject::ApplicationObject(std::shared_ptr<CalcInstance> instance)
    : instance_(std::move(instance)), workbooks_(std::make_shared<WorkbooksObject>(instance_)) {}

Variant ApplicationObject::Get(std::string_view member) {
    if (SameName(member, "Workbooks")) {
        return workbooks_;
    }
    if (SameName(member, "DisplayAlerts")) {
        return instance_->displayAlerts;
    }
    ThrowMemberNotSupported();
}

void ApplicationObject::Put(std::string_view member, const Variant& value) {
    if (!SameName(member, "DisplayAlerts")) {
        ThrowMemberNotSupported();
    }
    instance_->displayAlerts = RequireBoolean(&value);
}

Variant ApplicationObject::Call(std::string_view member, const platform::Arguments&) {
    return Guarded([&]() -> Variant {
        if (!SameName(member, "Quit")) {
            ThrowMemberNotSupported();
        }
        instance_->Quit();
        return {};
    });
}

}  // namespace tabrook::calcserver::server
