#pragma once
// The command line of tabrook-convert, read into options or a usage error.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "convert/format_table.h"

namespace tabrook::cli {

// The I-th (1-based) of N slices of the sorted source list.
struct Shard {
    std::size_t index = 1;
    std::size_t count = 1;
    bool operator==(const Shard&) const = default;
};

struct CliOptions {
    std::vector<std::string> sources;
    std::optional<std::string> filesFrom;  // "-" for standard input
    const convert::OutputFormat* format = &convert::kFormatChoices[0];
    std::string outDir;
    bool recursive = false;
    bool mirror = false;
    bool skipExisting = false;
    bool quiet = false;
    std::size_t jobs = 1;
    Shard shard;
    std::optional<std::string> reportPath;
};

struct CommandLine {
    bool help = false;       // --help: print the usage, nothing else
    std::string usageError;  // not empty: bad usage, said in one line
    CliOptions options;
};

inline constexpr std::size_t kMaxJobs = 64;

// `arguments` without the program's name; `defaultJobs` is the number of cores.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments, std::size_t defaultJobs);

// "I/N" with 1 <= I <= N; empty when the text is not that.
std::optional<Shard> ParseShard(const std::string& text);

std::string UsageText();

}  // namespace tabrook::cli
