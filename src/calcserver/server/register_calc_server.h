#pragma once
// Registers "Excel.Application": every CreateObject starts (or reuses) a private headless
// LibreOffice and answers Workbooks, Open, DisplayAlerts, SaveAs, Close and Quit.

#include "calcserver/office/office_limits.h"
#include "platform/automation.h"

namespace tabrook::calcserver {

struct CalcServerOptions {
    office::OfficeLimits limits;
};

void RegisterCalcServer(platform::AutomationRegistry& registry);
void RegisterCalcServer(platform::AutomationRegistry& registry, const CalcServerOptions& options);

}  // namespace tabrook::calcserver
