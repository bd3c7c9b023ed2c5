// Runs the objects step on one converted package, as the server does after the office has
// written it, and prints the step's report and its time:
//   carry_objects_step SOURCE.xls PACKAGE [OUT]   (OUT defaults to PACKAGE itself)

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "calcserver/objects/carry_objects.h"
#include "calcserver/package/zip_package.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: carry_objects_step SOURCE.xls PACKAGE [OUT]\n");
        return 2;
    }
    const std::filesystem::path out = argc > 3 ? argv[3] : argv[2];
    try {
        const auto start = std::chrono::steady_clock::now();
        const auto report = tabrook::calcserver::objects::CarryObjects(argv[1], argv[2], out);
        const double ms = std::chrono::duration<double, std::milli>(
                              std::chrono::steady_clock::now() - start)
                              .count();
        std::printf("charts: %zu in source, %zu in result, %zu written; %.1f ms\n",
                    report.chartsInSource, report.chartsInResult, report.chartsWritten, ms);
        for (const auto& note : report.notes) {
            std::printf("note: %s\n", note.c_str());
        }
    } catch (const tabrook::calcserver::package::PackageError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
