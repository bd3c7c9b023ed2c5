#include "state/setting_command.h"

#include "app/form1.h"

namespace tabrook::state {

void ShowSettingDialog(app::Form1& /*form*/) {}

}  // namespace tabrook::state
