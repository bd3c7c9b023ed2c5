#include "calcserver/finish/finish_process.h"

#include <unistd.h>

#include <charconv>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "calcserver/finish/isolated_step.h"
#include "platform/automation.h"

namespace tabrook::calcserver::finish {

namespace {

namespace fs = std::filesystem;
using platform::AutomationError;

constexpr const char* kFinishProgram = "tabrook-finish";

fs::path FinishProgram() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : self.parent_path() / kFinishProgram;
}

// "NUMBER\nDESCRIPTION", as the finishing program writes a refusal.
AutomationError RefusalFrom(const std::string& output, const fs::path& target) {
    const auto newline = output.find('\n');
    std::int32_t number = 0;
    const auto [end, parsed] = std::from_chars(output.data(), output.data() + newline, number);
    if (newline == std::string::npos || parsed != std::errc() || end != output.data() + newline) {
        return SaveRefused(target, "the finishing step failed without saying why.");
    }
    return AutomationError(number, output.substr(newline + 1));
}

}  // namespace

void RemoveTemporariesOf(const fs::path& target) {
    const std::string prefix = "." + target.filename().string() + ".tabrook-";
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(target.parent_path(), error)) {
        if (entry.path().filename().string().starts_with(prefix)) {
            fs::remove(entry.path(), error);
        }
    }
}

report::ConversionReport FinishPackageInOwnProcess(const FinishRequest& request,
                                                   std::chrono::milliseconds timeLimit) {
    const fs::path program = FinishProgram();
    if (program.empty() || ::access(program.c_str(), X_OK) != 0) {
        throw SaveRefused(request.target, "the program " + std::string(kFinishProgram) +
                                              " is missing beside Tabrook.");
    }
    const StepOutcome outcome =
        RunIsolatedStep({program.string(), std::to_string(::getpid()), request.source.string(),
                         request.officeOutput.string(), std::to_string(request.formatCode),
                         request.target.string()},
                        timeLimit);
    using Ending = StepOutcome::Ending;
    if (outcome.ending == Ending::kExited && outcome.exitCode == 0) {
        // The target is placed; a report that did not arrive whole costs only the report.
        if (auto report = report::ConversionReport::Parse(outcome.output)) {
            return *std::move(report);
        }
        report::ConversionReport unreadable;
        unreadable.Add("report", "the finishing step's report could not be read");
        return unreadable;
    }
    if (outcome.ending == Ending::kExited && outcome.exitCode == 1) {
        throw RefusalFrom(outcome.output, request.target);
    }
    RemoveTemporariesOf(request.target);
    switch (outcome.ending) {
        case Ending::kTimedOut:
            throw SaveRefused(request.target, "finishing the workbook took longer than " +
                                                  std::to_string(timeLimit.count() / 1000) +
                                                  " seconds, so it was stopped.");
        case Ending::kKilledBySignal:
            throw SaveRefused(request.target,
                              std::string("the workbook made the finishing step fail (") +
                                  strsignal(outcome.signal) + ").");
        case Ending::kNotStarted:
            throw SaveRefused(request.target, "the finishing step could not be started.");
        case Ending::kExited:
            break;
    }
    throw SaveRefused(request.target, "the finishing step ended with status " +
                                          std::to_string(outcome.exitCode) + ".");
}

}  // namespace tabrook::calcserver::finish
