#include "platform/automation.h"

namespace tabrook::platform {

// Here every server is one of our own, registered in-process by the program.
ObjectRef CreateSystemObject(std::string_view /*progId*/) {
    throw AutomationError(kErrCannotCreateObject, std::string(kCannotCreateObjectText));
}

}  // namespace tabrook::platform
