#include "cli/convert_command.h"

#include <fstream>
#include <iostream>
#include <memory>
#include <thread>

#include "cli/cli_options.h"
#include "cli/conversion_backend.h"
#include "cli/progress_display.h"
#include "cli/report_line.h"
#include "cli/source_list.h"
#include "cli/target_names.h"
#include "platform/automation.h"
#include "platform/file_system.h"
#include "platform/interrupt_watch.h"
#include "platform/native_path.h"
#include "platform/probe_path.h"

namespace tabrook::cli {
namespace {

constexpr const char* kProgram = "tabrook-convert";

int UsageError(std::ostream& err, const std::string& message) {
    err << kProgram << ": " << message << "\nTry '" << kProgram << " --help'.\n";
    return kExitUsage;
}

int CannotStart(std::ostream& err, const std::string& message) {
    err << kProgram << ": " << message << '\n';
    return kExitSomeFailed;
}

DisplayMode ChooseDisplay(const CliOptions& options) {
    if (options.quiet) {
        return DisplayMode::kQuiet;
    }
    return platform::StandardErrorIsTerminal() ? DisplayMode::kBar : DisplayMode::kLines;
}

}  // namespace

int RunConvertCommand(const std::vector<std::string>& arguments, TargetsInFlight& inFlight,
                      std::istream& in, std::ostream& out, std::ostream& err) {
    const CommandLine line = ParseCommandLine(arguments, std::thread::hardware_concurrency());
    if (line.help) {
        out << UsageText();
        return kExitAllConverted;
    }
    if (!line.usageError.empty()) {
        return UsageError(err, line.usageError);
    }
    const CliOptions& options = line.options;
    std::vector<std::string> sources = options.sources;
    if (options.filesFrom) {
        std::ifstream file;
        if (*options.filesFrom != "-") {
            file.open(platform::PathFromUtf8(*options.filesFrom));
            if (!file) {
                return UsageError(err, "cannot read the list '" + *options.filesFrom + "'");
            }
        }
        const std::vector<std::string> listed = ReadPathList(file.is_open() ? file : in);
        sources.insert(sources.end(), listed.begin(), listed.end());
    }

    const std::unique_ptr<platform::FileSystem> files = MakeRunFileSystem();
    platform::FileSystem& fileSystem = *files;
    // As the window prepares its output folder: a missing last folder is made.
    if (platform::ProbePath(fileSystem, options.outDir) != platform::PathKind::Folder &&
        !fileSystem.MakeFolder(options.outDir)) {
        return CannotStart(err, "cannot make the output folder '" + options.outDir + "'");
    }
    std::ofstream report;
    if (options.reportPath) {
        // Appended, so that a rerun or another shard adds to the report and loses nothing.
        report.open(platform::PathFromUtf8(*options.reportPath), std::ios::app | std::ios::binary);
        if (!report) {
            return CannotStart(err, "cannot write the report '" + *options.reportPath + "'");
        }
    }

    const std::vector<SourceWorkbook> workbooks =
        ListSources(fileSystem, sources, options.recursive);
    const std::vector<std::string> planned =
        PlanTargets(workbooks, options.outDir, options.format->extension, options.mirror);
    const SliceBounds slice = ShardSlice(workbooks.size(), options.shard);

    platform::AutomationRegistry automation;
    RegisterConversionServer(automation, options.jobs);

    ProgressDisplay display(ChooseDisplay(options), slice.last - slice.first, out, err);
    const RunPlan plan{&workbooks,
                       &planned,
                       slice,
                       options.format,
                       options.jobs,
                       options.skipExisting,
                       ServerReportsChanges()};
    RunConversions(plan, fileSystem, automation, inFlight,
                   [&](std::size_t index, const WorkbookOutcome& outcome) {
                       const auto output = inFlight.LockOutput();
                       display.Show(workbooks[index], outcome);
                       if (report.is_open()) {
                           // One write a line, so that runs appending at once keep whole lines.
                           report << ReportLine(workbooks[index], outcome) + "\n" << std::flush;
                       }
                   });
    display.Finish();
    if (report.is_open() && !report) {
        return CannotStart(err, "the report '" + *options.reportPath + "' could not be written");
    }
    return display.Failed() > 0 ? kExitSomeFailed : kExitAllConverted;
}

}  // namespace tabrook::cli
