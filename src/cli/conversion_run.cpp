#include "cli/conversion_run.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <numeric>
#include <optional>
#include <thread>

#include "cli/conversion_backend.h"
#include "convert/convert_file.h"
#include "platform/automation.h"
#include "platform/file_system.h"
#include "platform/native_path.h"
#include "platform/probe_path.h"

namespace tabrook::cli {
namespace {

// Makes `folder` and what is missing above it inside `outDir`, one level at a time, as the
// window makes the output folder.
bool MakeFolders(platform::FileSystem& fileSystem, const std::string& folder) {
    if (folder.empty() || platform::ProbePath(fileSystem, folder) == platform::PathKind::Folder) {
        return true;
    }
    const auto slash = platform::LastSeparator(folder);
    if (slash != std::string::npos && slash > 0 &&
        !MakeFolders(fileSystem, folder.substr(0, slash))) {
        return false;
    }
    return fileSystem.MakeFolder(folder) ||
           platform::ProbePath(fileSystem, folder) ==
               platform::PathKind::Folder;  // another worker made it
}

constexpr int kStartAttempts = 3;

// Workbooks per office at the end of a slice that are started biggest first.
constexpr std::size_t kTailPerJob = 4;

std::uintmax_t SizeOrZero(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(platform::PathFromUtf8(path), error);
    return error ? 0 : size;
}

class Worker {
  public:
    Worker(const RunPlan& plan, platform::FileSystem& fileSystem,
           const platform::AutomationRegistry& automation, TargetClaims& claims,
           TargetsInFlight& inFlight, std::mutex& foldersMutex)
        : plan_(plan),
          fileSystem_(fileSystem),
          automation_(automation),
          claims_(claims),
          inFlight_(inFlight),
          foldersMutex_(foldersMutex) {}

    WorkbookOutcome Convert(std::size_t index) {
        const SourceWorkbook& workbook = (*plan_.workbooks)[index];
        const std::string planned = (*plan_.planned)[index] + std::string(plan_.format->extension);
        WorkbookOutcome outcome;
        if (workbook.missing) {
            outcome.message = "no such workbook or folder";
            return outcome;
        }
        if (plan_.skipExisting &&
            platform::ProbePath(fileSystem_, planned) == platform::PathKind::File) {
            outcome.result = Result::kSkipped;
            outcome.target = planned;
            outcome.message = "the result is already there";
            return outcome;
        }
        const std::string folder = planned.substr(0, platform::LastSeparator(planned));
        {
            std::lock_guard lock(foldersMutex_);
            if (!MakeFolders(fileSystem_, folder)) {
                outcome.message = "the folder '" + folder + "' cannot be made";
                return outcome;
            }
        }
        outcome.target = claims_.Claim(index);
        inFlight_.Add(outcome.target);
        const auto started = std::chrono::steady_clock::now();
        convert::FileConversion converted;
        // An office that could not start says nothing about the workbook (a machine busy
        // past the start limit); a night's run must not lose files to it.
        for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
            converted = convert::ConvertFile(automation_, PathForServer(workbook.path),
                                             PathForServer(outcome.target),
                                             plan_.format->fileFormat, plan_.wantReport);
            if (converted.errorNumber != platform::kErrCannotCreateObject) {
                break;
            }
        }
        outcome.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        inFlight_.Remove(outcome.target);
        if (converted.result == convert::FileConversionResult::kDone) {
            outcome.result = Result::kConverted;
            outcome.reportText = converted.reportText;
        } else {
            outcome.errorNumber = converted.errorNumber;
            outcome.message = converted.description.empty() ? "the conversion server failed"
                                                            : converted.description;
        }
        return outcome;
    }

  private:
    const RunPlan& plan_;
    platform::FileSystem& fileSystem_;
    const platform::AutomationRegistry& automation_;
    TargetClaims& claims_;
    TargetsInFlight& inFlight_;
    std::mutex& foldersMutex_;  // folders are made by one worker at a time
};

}  // namespace

void TargetsInFlight::Add(const std::string& target) {
    std::lock_guard lock(mutex_);
    targets_.push_back(target);
}

void TargetsInFlight::Remove(const std::string& target) {
    std::lock_guard lock(mutex_);
    if (const auto found = std::find(targets_.begin(), targets_.end(), target);
        found != targets_.end()) {
        targets_.erase(found);
    }
}

std::vector<std::size_t> StartingOrder(std::size_t count,
                                       const std::vector<std::uintmax_t>& tailSizes) {
    const std::size_t tail = std::min(count, tailSizes.size());
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), std::size_t{0});
    const std::size_t tailStart = count - tail;
    // Sizes line up with the end of the list.
    const std::size_t skipped = tailSizes.size() - tail;
    const auto sizeOf = [&](std::size_t at) { return tailSizes[skipped + at - tailStart]; };
    std::stable_sort(order.begin() + static_cast<std::ptrdiff_t>(tailStart), order.end(),
                     [&](std::size_t a, std::size_t b) { return sizeOf(a) > sizeOf(b); });
    return order;
}

std::vector<std::filesystem::path> TargetsInFlight::Snapshot() {
    std::lock_guard lock(mutex_);
    return {targets_.begin(), targets_.end()};
}

void RunConversions(const RunPlan& plan, platform::FileSystem& fileSystem,
                    const platform::AutomationRegistry& automation, TargetsInFlight& inFlight,
                    const std::function<void(std::size_t, const WorkbookOutcome&)>& report) {
    const std::size_t first = plan.slice.first;
    const std::size_t count = plan.slice.last - plan.slice.first;
    TargetClaims claims(fileSystem, *plan.planned, plan.format->extension);
    std::vector<std::optional<WorkbookOutcome>> outcomes(count);
    std::mutex mutex;
    std::mutex foldersMutex;
    std::condition_variable done;
    std::atomic<std::size_t> next{0};
    std::vector<std::uintmax_t> tailSizes;
    for (std::size_t i = count - std::min(count, kTailPerJob * plan.jobs); i < count; ++i) {
        tailSizes.push_back(SizeOrZero((*plan.workbooks)[first + i].path));
    }
    const std::vector<std::size_t> order = StartingOrder(count, tailSizes);

    const auto work = [&] {
        Worker worker(plan, fileSystem, automation, claims, inFlight, foldersMutex);
        for (std::size_t started = next++; started < count && !inFlight.Stopped();
             started = next++) {
            const std::size_t i = order[started];
            WorkbookOutcome outcome = worker.Convert(first + i);
            std::lock_guard lock(mutex);
            outcomes[i] = std::move(outcome);
            done.notify_one();
        }
    };
    std::vector<std::jthread> workers;
    for (std::size_t i = 0; i < std::min(plan.jobs, count); ++i) {
        workers.emplace_back(work);
    }
    for (std::size_t i = 0; i < count; ++i) {
        std::unique_lock lock(mutex);
        done.wait(lock, [&] { return outcomes[i].has_value(); });
        const WorkbookOutcome outcome = *std::move(outcomes[i]);
        outcomes[i].reset();
        lock.unlock();
        report(first + i, outcome);
    }
}

}  // namespace tabrook::cli
