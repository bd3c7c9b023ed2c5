// Converts workbooks through "Excel.Application" with exactly the calls the program makes,
// one server instance per file, and prints one line per file and a total:
//   convert --format xlsx|xlsm|xlsb --out DIR FILE...

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "calcserver/server/register_calc_server.h"
#include "platform/automation.h"

namespace {

using tabrook::platform::Arguments;
using tabrook::platform::AsObject;
using tabrook::platform::AutomationError;
using tabrook::platform::AutomationRegistry;
using tabrook::platform::ObjectRef;

struct Format {
    std::string extension;
    std::int32_t code;
};

const std::map<std::string, Format> kFormats{
    {"xlsx", {".xlsx", 51}}, {"xlsm", {".xlsm", 52}}, {"xlsb", {".xlsb", 50}}};

// "ok", or the error number and description.
std::string ConvertOne(const AutomationRegistry& registry, const std::filesystem::path& source,
                       const std::filesystem::path& target, std::int32_t code) {
    ObjectRef application;
    ObjectRef workbook;
    try {
        application = registry.CreateObject("Excel.Application");
        const ObjectRef workbooks = AsObject(application->Get("Workbooks"));
        workbook = AsObject(workbooks->Call("Open", Arguments{{source.string()}, {}}));
        application->Put("DisplayAlerts", false);
        workbook->Call("SaveAs", Arguments{{target.string()}, {{"FileFormat", code}}});
        workbook->Call("Close", {});
        application->Call("Quit", {});
        return "ok";
    } catch (const AutomationError& error) {
        if (error.Number() > 0) {
            try {
                if (workbook) {
                    workbook->Call("Close", {});
                }
                if (application) {
                    application->Call("Quit", {});
                }
            } catch (const AutomationError&) {
                // A second failure changes nothing about this file's result.
            }
        }
        return std::to_string(error.Number()) + " " + error.Description();
    }
}

int Usage() {
    std::cerr << "usage: convert --format xlsx|xlsm|xlsb --out DIR FILE...\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string format;
    std::filesystem::path out;
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--format" && i + 1 < argc) {
            format = argv[++i];
        } else if (arg == "--out" && i + 1 < argc) {
            out = argv[++i];
        } else {
            files.emplace_back(arg);
        }
    }
    const auto chosen = kFormats.find(format);
    if (chosen == kFormats.end() || out.empty() || files.empty()) {
        return Usage();
    }
    std::error_code error;
    std::filesystem::create_directories(out, error);

    AutomationRegistry registry;
    tabrook::calcserver::RegisterCalcServer(registry);
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    int converted = 0;
    for (const auto& file : files) {
        const auto begun = Clock::now();
        const std::filesystem::path target =
            out / (file.stem().string() + chosen->second.extension);
        const std::string result = ConvertOne(registry, file, target, chosen->second.code);
        const std::chrono::duration<double> took = Clock::now() - begun;
        converted += result == "ok" ? 1 : 0;
        std::printf("%s\t%.3f\t%s\n", result.c_str(), took.count(), file.string().c_str());
        std::fflush(stdout);
    }
    const std::chrono::duration<double> total = Clock::now() - start;
    std::printf("converted %d of %zu in %.3f s\n", converted, files.size(), total.count());
    return converted == static_cast<int>(files.size()) ? 0 : 1;
}
