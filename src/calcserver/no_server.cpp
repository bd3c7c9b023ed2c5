#include "calcserver/server/register_calc_server.h"

namespace tabrook::calcserver {

void RegisterCalcServer(platform::AutomationRegistry& /*registry*/) {}

}  // namespace tabrook::calcserver
