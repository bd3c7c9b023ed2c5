#include "convert/run_conversion.h"

#include "app/form1.h"

namespace tabrook::convert {

void RunConversion(app::Form1& /*form*/) {}

}  // namespace tabrook::convert
