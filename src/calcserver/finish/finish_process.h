#pragma once
// The finishing steps of a save, run in a process of their own (the program tabrook-finish
// beside this one), so that a workbook that crashes them, loops or takes all memory fails
// alone with a plain message and the program and the rest of the run go on.

#include <chrono>

#include "calcserver/finish/finish_package.h"
#include "calcserver/input_limits.h"

namespace tabrook::calcserver::finish {

// As FinishPackage, and returns its report. Throws platform::AutomationError: what the steps
// refused, or 1004 naming the target when they crashed, ran past `timeLimit` or could not be
// started. A step that was stopped leaves neither the target nor a temporary beside it.
report::ConversionReport FinishPackageInOwnProcess(
    const FinishRequest& request, std::chrono::milliseconds timeLimit = kFinishTimeLimit);

// Removes the hidden temporaries (".NAME.tabrook-RANDOM") a stopped step may have left
// beside `target`; only this program makes names of that form.
void RemoveTemporariesOf(const std::filesystem::path& target);

}  // namespace tabrook::calcserver::finish
