// Reads every chart of the given legacy workbooks from its records and writes it as a chart
// part, as the objects step does for a chart the office lost; prints the charts per kind,
// how many the writer builds, and the time reading and writing took.
//   chart_kinds [--each] FILE.xls...

#include <chrono>
#include <cstdio>
#include <map>
#include <string>

#include "calcserver/biff/biff_workbook.h"
#include "calcserver/biff/compound_stream.h"
#include "calcserver/charts/chart_records.h"
#include "calcserver/charts/chart_references.h"
#include "calcserver/charts/chart_xml.h"
#include "calcserver/objects/source_objects.h"

namespace charts = tabrook::calcserver::charts;
namespace objects = tabrook::calcserver::objects;

int main(int argc, char** argv) {
    struct Count {
        int charts = 0;
        int written = 0;
        int series = 0;
        int referenced = 0;  // series whose values are a reference
        int references = 0;  // formulas of series and titles
        int undecoded = 0;   // of them, those that do not decode
    };
    std::map<std::string, Count> kinds;
    int unreadable = 0;
    std::chrono::steady_clock::duration spent{};
    const bool verbose = argc > 1 && std::string(argv[1]) == "--each";
    for (int i = verbose ? 2 : 1; i < argc; ++i) {
        std::vector<std::uint8_t> stream;
        objects::SourceObjects source;
        tabrook::calcserver::biff::FormulaContext formulas;
        try {
            stream = tabrook::calcserver::biff::ReadWorkbookStreamFromFile(argv[i]);
            source = objects::ReadSourceObjects(stream);
            const auto workbook = tabrook::calcserver::biff::ReadWorkbookStream(
                stream, tabrook::calcserver::biff::ReadOptions{.cells = false, .names = true});
            std::vector<std::string> sheetNames;
            for (const auto& sheet : workbook.sheets) {
                sheetNames.push_back(sheet.name);
            }
            formulas = tabrook::calcserver::biff::FormulaContextOf(workbook.names, sheetNames);
        } catch (const tabrook::calcserver::biff::BiffError& error) {
            std::printf("%s: not read: %s\n", argv[i], error.what());
            continue;
        }
        for (const auto& sheet : source.sheets) {
            for (const auto& placed : sheet.charts) {
                const auto start = std::chrono::steady_clock::now();
                try {
                    charts::Chart chart =
                        charts::ReadChart(std::span(stream).subspan(placed.offset, placed.size));
                    Count& count = kinds[charts::KindName(chart)];
                    if (verbose) {
                        std::printf("%s: %s, %zu series%s\n", argv[i],
                                    charts::KindName(chart).c_str(), chart.series.size(),
                                    placed.anchor ? "" : " (a chart sheet)");
                    }
                    ++count.charts;
                    count.undecoded += static_cast<int>(charts::DecodeReferences(chart, formulas));
                    for (const auto& series : chart.series) {
                        for (const auto* reference :
                             {&series.nameReference, &series.values, &series.categories}) {
                            count.references += reference->formula.empty() ? 0 : 1;
                            if (verbose && !reference->formula.empty() && reference->text.empty()) {
                                std::printf("%s: a reference does not decode: %s\n", argv[i],
                                            tabrook::calcserver::biff::DecodeFormula(
                                                reference->formula, formulas)
                                                .error.c_str());
                            }
                        }
                    }
                    if (charts::Writable(chart)) {
                        charts::ChartSpaceXml(chart);
                        ++count.written;
                    }
                    for (const auto& series : chart.series) {
                        ++count.series;
                        count.referenced += series.values.formula.empty() ? 0 : 1;
                    }
                } catch (const tabrook::calcserver::biff::BiffError& error) {
                    ++unreadable;
                    std::printf("%s: a chart is damaged: %s\n", argv[i], error.what());
                }
                spent += std::chrono::steady_clock::now() - start;
            }
        }
    }
    int total = 0;
    int written = 0;
    std::printf("%-16s %7s %8s %7s %11s %11s %10s\n", "kind", "charts", "written", "series",
                "referenced", "references", "undecoded");
    for (const auto& [kind, count] : kinds) {
        std::printf("%-16s %7d %8d %7d %11d %11d %10d\n", kind.c_str(), count.charts, count.written,
                    count.series, count.referenced, count.references, count.undecoded);
        total += count.charts;
        written += count.written;
    }
    std::printf("all              %7d %8d; %d damaged; read and written in %.1f ms\n", total,
                written, unreadable, std::chrono::duration<double, std::milli>(spent).count());
    return 0;
}
