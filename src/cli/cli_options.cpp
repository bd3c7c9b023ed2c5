#include "cli/cli_options.h"

#include <charconv>
#include <functional>
#include <map>
#include <string_view>

namespace tabrook::cli {
namespace {

std::optional<std::size_t> PositiveNumber(std::string_view text) {
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value == 0) {
        return std::nullopt;
    }
    return value;
}

const convert::OutputFormat* FormatNamed(std::string_view name) {
    for (const convert::OutputFormat& format : convert::kFormatChoices) {
        if (format.extension.substr(1) == name) {
            return &format;
        }
    }
    return nullptr;
}

using ValueSetter = std::function<std::string(CliOptions&, const std::string&)>;

// Options that take a value; each setter returns an error text, empty when the value fits.
const std::map<std::string, ValueSetter, std::less<>>& ValueOptions() {
    static const std::map<std::string, ValueSetter, std::less<>> options{
        {"--format",
         [](CliOptions& o, const std::string& v) -> std::string {
             o.format = FormatNamed(v);
             return o.format ? "" : "--format takes xlsx, xlsm or xlsb, not '" + v + "'";
         }},
        {"--out",
         [](CliOptions& o, const std::string& v) -> std::string {
             o.outDir = v;
             return v.empty() ? "--out takes a folder" : "";
         }},
        {"--files-from",
         [](CliOptions& o, const std::string& v) -> std::string {
             o.filesFrom = v;
             return v.empty() ? "--files-from takes a file, or - for standard input" : "";
         }},
        {"--jobs",
         [](CliOptions& o, const std::string& v) -> std::string {
             const auto jobs = PositiveNumber(v);
             if (!jobs || *jobs > kMaxJobs) {
                 return "--jobs takes a whole number from 1 to " + std::to_string(kMaxJobs);
             }
             o.jobs = *jobs;
             return "";
         }},
        {"--shard",
         [](CliOptions& o, const std::string& v) -> std::string {
             const auto shard = ParseShard(v);
             if (!shard) {
                 return "--shard takes I/N with 1 <= I <= N, not '" + v + "'";
             }
             o.shard = *shard;
             return "";
         }},
        {"--report",
         [](CliOptions& o, const std::string& v) -> std::string {
             o.reportPath = v;
             return v.empty() ? "--report takes a file" : "";
         }},
    };
    return options;
}

const std::map<std::string, bool CliOptions::*, std::less<>>& FlagOptions() {
    static const std::map<std::string, bool CliOptions::*, std::less<>> flags{
        {"--recursive", &CliOptions::recursive},
        {"--mirror", &CliOptions::mirror},
        {"--skip-existing", &CliOptions::skipExisting},
        {"--quiet", &CliOptions::quiet},
    };
    return flags;
}

const std::map<std::string, std::string, std::less<>>& ShortNames() {
    static const std::map<std::string, std::string, std::less<>> names{
        {"-r", "--recursive"}, {"-o", "--out"},   {"-f", "--format"},
        {"-j", "--jobs"},      {"-q", "--quiet"}, {"-h", "--help"},
    };
    return names;
}

}  // namespace

std::optional<Shard> ParseShard(const std::string& text) {
    const auto slash = text.find('/');
    if (slash == std::string::npos) {
        return std::nullopt;
    }
    const auto index = PositiveNumber(std::string_view(text).substr(0, slash));
    const auto count = PositiveNumber(std::string_view(text).substr(slash + 1));
    if (!index || !count || *index > *count) {
        return std::nullopt;
    }
    return Shard{*index, *count};
}

CommandLine ParseCommandLine(const std::vector<std::string>& arguments, std::size_t defaultJobs) {
    CommandLine line;
    line.options.jobs = std::max<std::size_t>(1, std::min(defaultJobs, kMaxJobs));
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size() && line.usageError.empty() && !line.help; ++i) {
        std::string argument = arguments[i];
        if (optionsEnded || argument == "-" || !argument.starts_with("-")) {
            line.options.sources.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        std::optional<std::string> value;
        if (const auto equals = argument.find('=');
            argument.starts_with("--") && equals != std::string::npos) {
            value = argument.substr(equals + 1);
            argument.resize(equals);
        }
        if (const auto shortName = ShortNames().find(argument); shortName != ShortNames().end()) {
            argument = shortName->second;
        }
        if (argument == "--help") {
            line.help = true;
        } else if (const auto flag = FlagOptions().find(argument); flag != FlagOptions().end()) {
            if (value) {
                line.usageError = argument + " takes no value";
            } else {
                line.options.*(flag->second) = true;
            }
        } else if (const auto option = ValueOptions().find(argument);
                   option != ValueOptions().end()) {
            if (!value && i + 1 < arguments.size()) {
                value = arguments[++i];
            }
            line.usageError =
                value ? option->second(line.options, *value) : argument + " takes a value";
        } else {
            line.usageError = "unknown option '" + arguments[i] + "'";
        }
    }
    if (line.help || !line.usageError.empty()) {
        return line;
    }
    if (line.options.outDir.empty()) {
        line.usageError = "--out DIR is needed: the folder the results go to";
    } else if (line.options.sources.empty() && !line.options.filesFrom) {
        line.usageError = "no workbook or folder to convert";
    }
    return line;
}

std::string UsageText() {
    return R"(Usage: tabrook-convert [OPTIONS] SOURCE...
Converts legacy .xls workbooks into .xlsx, .xlsm or .xlsb. A SOURCE is a workbook or a
folder; a folder stands for its *.xls workbooks (hidden entries skipped).

  -o, --out DIR          the folder the results go to (created when missing)
  -f, --format FORMAT    xlsx (default), xlsm or xlsb
  -r, --recursive        descend into the folders below each folder SOURCE
      --mirror           keep each workbook's folder below its SOURCE under --out
      --files-from FILE  also convert the paths in FILE, one a line (- reads standard input)
  -j, --jobs N           convert N workbooks at once, each in its own server (default: cores)
      --shard I/N        convert only the I-th of N slices of the sorted source list
      --skip-existing    skip a workbook whose result is already there (resumes a run)
      --report FILE      append one JSON line per workbook: result, time, what changed
  -q, --quiet            print nothing but errors
  -h, --help             show this help

A result never replaces a file: when Book.xlsx is taken, Book1.xlsx is written instead.
Exit status: 0 every workbook converted, 1 some failed, 2 bad usage.
)";
}

}  // namespace tabrook::cli
