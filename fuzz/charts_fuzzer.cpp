// The chart reader and writer: every chart substream of a compound file's workbook, or the
// input itself as one substream; what the reader accepts is written as a chart part.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "calcserver/biff/biff_workbook.h"
#include "calcserver/biff/compound_stream.h"
#include "calcserver/charts/chart_records.h"
#include "calcserver/charts/chart_xml.h"
#include "calcserver/objects/source_objects.h"
#include "scratch_dir.h"

namespace charts = tabrook::calcserver::charts;

namespace {

bool IsCompoundFile(const std::uint8_t* data, std::size_t size) {
    static constexpr std::array<std::uint8_t, 4> kMagic = {0xD0, 0xCF, 0x11, 0xE0};
    return size >= kMagic.size() && std::equal(kMagic.begin(), kMagic.end(), data);
}

void ReadAndWrite(std::span<const std::uint8_t> substream) {
    try {
        charts::Chart chart = charts::ReadChart(substream);
        for (auto& series : chart.series) {
            series.values.text = "Sheet1!$A$1:$A$3";  // a decoded reference, as the step adds
        }
        if (charts::Writable(chart)) {
            charts::ChartSpaceXml(chart);
        }
    } catch (const tabrook::calcserver::biff::BiffError&) {
        // A refusal in plain words is the right answer to a damaged chart.
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!IsCompoundFile(data, size)) {
        ReadAndWrite(std::span<const std::uint8_t>(data, size));
        return 0;
    }
    try {
        const tabrook::fuzz::ScratchDir dir;
        const auto file = dir.Write("input.xls", tabrook::fuzz::AsText(data, size));
        const std::vector<std::uint8_t> stream =
            tabrook::calcserver::biff::ReadWorkbookStreamFromFile(file);
        const auto objects = tabrook::calcserver::objects::ReadSourceObjects(stream);
        for (const auto& sheet : objects.sheets) {
            for (const auto& chart : sheet.charts) {
                ReadAndWrite(std::span(stream).subspan(chart.offset, chart.size));
            }
        }
    } catch (const tabrook::calcserver::biff::BiffError&) {
    }
    return 0;
}
