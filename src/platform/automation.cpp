#include "platform/automation.h"

namespace tabrook::platform {

AutomationError::AutomationError(std::int32_t number, std::string description)
    : std::runtime_error(description), number_(number), description_(std::move(description)) {}

ObjectRef AsObject(const Variant& value) {
    if (const auto* object = std::get_if<ObjectRef>(&value); object != nullptr && *object) {
        return *object;
    }
    throw AutomationError(kErrMemberNotSupported, "Object required");
}

void AutomationRegistry::Register(std::string progId, Factory factory) {
    factories_.insert_or_assign(std::move(progId), std::move(factory));
}

ObjectRef AutomationRegistry::CreateObject(std::string_view progId) const {
    const auto found = factories_.find(progId);
    if (found == factories_.end()) {
        return CreateSystemObject(progId);
    }
    return found->second();
}

}  // namespace tabrook::platform
