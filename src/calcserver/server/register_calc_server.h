#pragma once
// Registers "Excel.Application": every CreateObject starts (or reuses) a private headless
// LibreOffice and answers Workbooks, Open, DisplayAlerts, SaveAs, Close and Quit.

#include <cstddef>

#include "calcserver/office/office_limits.h"
#include "platform/automation.h"

namespace tabrook::calcserver {

struct CalcServerOptions {
    office::OfficeLimits limits;
    // Idle offices kept for the next instances: as many as instances live at once.
    std::size_t idleOffices = 1;
};

void RegisterCalcServer(platform::AutomationRegistry& registry);
void RegisterCalcServer(platform::AutomationRegistry& registry, const CalcServerOptions& options);

}  // namespace tabrook::calcserver
