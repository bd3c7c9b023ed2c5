#include "cli/progress_display.h"

#include <cmath>
#include <cstdio>

namespace tabrook::cli {
namespace {

constexpr std::size_t kBarWidth = 30;
constexpr const char* kClearLine = "\r\x1b[K";

std::string OneDecimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

}  // namespace

std::string DurationText(double seconds) {
    const auto whole = static_cast<long long>(std::llround(std::max(0.0, seconds)));
    const long long hours = whole / 3600;
    const long long minutes = whole / 60 % 60;
    char text[48];
    if (hours > 0) {
        std::snprintf(text, sizeof text, "%lldh%02lldm", hours, minutes);
    } else if (minutes > 0) {
        std::snprintf(text, sizeof text, "%lldm%02llds", minutes, whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%llds", whole);
    }
    return text;
}

ProgressDisplay::ProgressDisplay(DisplayMode mode, std::size_t total, std::ostream& out,
                                 std::ostream& err)
    : mode_(mode), total_(total), out_(out), err_(err) {
    if (mode_ == DisplayMode::kBar) {
        DrawBar();
    }
}

void ProgressDisplay::Show(const SourceWorkbook& workbook, const WorkbookOutcome& outcome) {
    switch (outcome.result) {
        case Result::kConverted:
            ++converted_;
            break;
        case Result::kFailed:
            ++failed_;
            break;
        case Result::kSkipped:
            ++skipped_;
            break;
    }
    const bool failure = outcome.result == Result::kFailed;
    const std::string line =
        failure ? "failed: " + workbook.path + ": " + outcome.message
        : outcome.result == Result::kSkipped
            ? "skipped: " + workbook.path + " (" + outcome.target + " is already there)"
            : "converted: " + workbook.path + " -> " + outcome.target + " (" +
                  OneDecimal(outcome.seconds) + " s)";
    switch (mode_) {
        case DisplayMode::kBar:
            if (failure) {
                err_ << kClearLine << line << '\n';
            }
            DrawBar();
            break;
        case DisplayMode::kLines:
            (failure ? err_ : out_) << line << std::endl;
            break;
        case DisplayMode::kQuiet:
            if (failure) {
                err_ << line << std::endl;
            }
            break;
    }
}

void ProgressDisplay::DrawBar() {
    const std::size_t done = converted_ + failed_ + skipped_;
    const std::size_t filled = total_ == 0 ? kBarWidth : done * kBarWidth / total_;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    std::string bar = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] ";
    bar += std::to_string(done) + "/" + std::to_string(total_) + " done, " +
           std::to_string(failed_) + " failed";
    if (done > 0 && seconds > 0) {
        const double rate = static_cast<double>(done) / seconds;
        bar += ", " + OneDecimal(rate) + " files/s, " +
               DurationText(static_cast<double>(total_ - done) / rate) + " left";
    }
    err_ << kClearLine << bar << std::flush;
}

std::string ProgressDisplay::Elapsed() const {
    return DurationText(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count());
}

void ProgressDisplay::Finish() {
    if (mode_ == DisplayMode::kBar) {
        err_ << kClearLine;
    }
    if (mode_ != DisplayMode::kQuiet) {
        err_ << converted_ << " converted, " << failed_ << " failed, " << skipped_ << " skipped of "
             << total_ << " in " << Elapsed() << std::endl;
    }
}

}  // namespace tabrook::cli
