#pragma once
// Converts a list of workbooks with N workers at once, each through its own instance of
// the automation server, and hands each outcome on in list order.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "cli/source_list.h"
#include "cli/target_names.h"
#include "cli/workbook_outcome.h"
#include "convert/format_table.h"

namespace tabrook::platform {
class AutomationRegistry;
class FileSystem;
}  // namespace tabrook::platform

namespace tabrook::cli {

struct RunPlan {
    const std::vector<SourceWorkbook>* workbooks = nullptr;  // the whole sorted list
    const std::vector<std::string>* planned = nullptr;       // PlanTargets of that list
    SliceBounds slice;                                       // the part this run converts
    const convert::OutputFormat* format = nullptr;
    std::size_t jobs = 1;
    bool skipExisting = false;
    bool wantReport = true;  // ask the server what its finishing steps changed
};

// The results being written now, for a run that must stop at once and clean up after them.
class TargetsInFlight {
  public:
    void Add(const std::string& target);
    void Remove(const std::string& target);
    std::vector<std::filesystem::path> Snapshot();

    // Results are shown and reported under this lock. An interrupt takes it for good, so
    // that no workbook it stopped is reported as failed, and no worker starts another.
    std::unique_lock<std::mutex> LockOutput() { return std::unique_lock(output_); }
    void Stop() {
        StopStarting();
        output_.lock();
    }
    // No worker starts another workbook; those in progress finish and are shown.
    void StopStarting() { stopped_ = true; }
    bool Stopped() const { return stopped_; }

  private:
    std::mutex mutex_;
    std::vector<std::string> targets_;
    std::mutex output_;
    std::atomic<bool> stopped_{false};
};

// The order in which a run starts the workbooks of its slice, as offsets into it: list order,
// except that the last few go biggest first (`tailSizes` holds their sizes, in list order).
// A run ends when its last workbook does; a big one started last would keep the other
// offices idle all the while, and holding back the report of a few is cheap.
std::vector<std::size_t> StartingOrder(std::size_t count,
                                       const std::vector<std::uintmax_t>& tailSizes);

// Calls `report(index, outcome)` on the calling thread for every workbook of the slice, in
// list order, as soon as it and all before it are done.
void RunConversions(const RunPlan& plan, platform::FileSystem& fileSystem,
                    const platform::AutomationRegistry& automation, TargetsInFlight& inFlight,
                    const std::function<void(std::size_t, const WorkbookOutcome&)>& report);

}  // namespace tabrook::cli
