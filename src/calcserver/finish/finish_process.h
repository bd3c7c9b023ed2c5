#pragma once
// The finishing steps of saves, run in a process of their own (the program tabrook-finish
// beside this one), so that a workbook that crashes them, loops or takes all memory fails
// alone with a plain message and the program and the rest of the run go on. The process
// serves one save after another: starting it costs more than finishing most workbooks.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <filesystem>

#include "calcserver/finish/finish_package.h"
#include "calcserver/input_limits.h"

namespace tabrook::calcserver::finish {

class FinishingProcess {
  public:
    // `program` serves the requests; by default tabrook-finish beside this program. It is
    // started at the first Finish, and again after it ended.
    explicit FinishingProcess(std::filesystem::path program = {});
    ~FinishingProcess();
    FinishingProcess(const FinishingProcess&) = delete;
    FinishingProcess& operator=(const FinishingProcess&) = delete;

    // As FinishPackage, and returns its report. Throws platform::AutomationError: what the
    // steps refused, or 1004 naming the target when they crashed, ran past `timeLimit` or
    // could not be started. A step that was stopped leaves neither the target nor a
    // temporary beside it, and the next Finish starts a new process.
    report::ConversionReport Finish(const FinishRequest& request,
                                    std::chrono::milliseconds timeLimit = kFinishTimeLimit);

    // Running, and young enough to serve the next workbook of a run.
    bool Reusable();

  private:
    std::filesystem::path program_;
    pid_t child_ = -1;
    int socket_ = -1;
    std::size_t served_ = 0;

    bool Running();
    bool Start();
    void Stop();
    bool Send(const std::string& frame);
};

// Removes the hidden temporaries (".NAME.tabrook-RANDOM") a stopped step may have left
// beside `target`; only this program makes names of that form.
void RemoveTemporariesOf(const std::filesystem::path& target);

}  // namespace tabrook::calcserver::finish
