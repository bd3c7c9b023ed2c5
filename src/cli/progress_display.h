#pragma once
// What a run shows while it works: a progress bar on a terminal (done, failed, rate, time
// left), one plain line a workbook otherwise, nothing but failures with --quiet.

#include <chrono>
#include <cstddef>
#include <ostream>
#include <string>

#include "cli/source_list.h"
#include "cli/workbook_outcome.h"

namespace tabrook::cli {

enum class DisplayMode { kBar, kLines, kQuiet };

class ProgressDisplay {
  public:
    // Lines go to `out`; the bar, failures and the summary to `err`.
    ProgressDisplay(DisplayMode mode, std::size_t total, std::ostream& out, std::ostream& err);

    void Show(const SourceWorkbook& workbook, const WorkbookOutcome& outcome);
    // The last line: how many converted, failed and skipped, and how long it took.
    void Finish();

    std::size_t Failed() const { return failed_; }

  private:
    void DrawBar();
    std::string Elapsed() const;

    DisplayMode mode_;
    std::size_t total_;
    std::ostream& out_;
    std::ostream& err_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::size_t converted_ = 0;
    std::size_t failed_ = 0;
    std::size_t skipped_ = 0;
};

// "2h05m", "7m12s", "9s".
std::string DurationText(double seconds);

}  // namespace tabrook::cli
