#pragma once

namespace tabrook::platform {
class AutomationRegistry;
}

namespace tabrook::calcserver {

// Registers the LibreOffice-backed "Excel.Application" with `registry`.
void RegisterCalcServer(platform::AutomationRegistry& registry);

}  // namespace tabrook::calcserver
