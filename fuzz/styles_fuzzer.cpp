// The formatting step on a fuzzed legacy workbook: its formatting records read, a styles
// part built from them, and each sheet's layout applied to a fixed worksheet part.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "calcserver/biff/biff_workbook.h"
#include "calcserver/package/zip_package.h"
#include "calcserver/styles/sheet_layout.h"
#include "calcserver/styles/stylesheet_builder.h"
#include "scratch_dir.h"

namespace biff = tabrook::calcserver::biff;
namespace styles = tabrook::calcserver::styles;

namespace {

constexpr const char* kOfficeStyles =
    "<styleSheet><cellXfs count='1'><xf/></cellXfs><dxfs count='0'/></styleSheet>";
constexpr const char* kOfficeSheet =
    "<worksheet><sheetFormatPr defaultRowHeight='12.8'/><cols><col min='1' max='3'/></cols>"
    "<sheetData><row r='1'><c r='A1' s='3'><v>1</v></c><c r='XFD1'/></row><row r='70000'>"
    "<c r='B70000'/></row></sheetData><mergeCells><mergeCell ref='A1:B2'/></mergeCells>"
    "</worksheet>";

bool IsCompoundFile(const std::uint8_t* data, std::size_t size) {
    static constexpr std::array<std::uint8_t, 4> kMagic = {0xD0, 0xCF, 0x11, 0xE0};
    return size >= kMagic.size() && std::equal(kMagic.begin(), kMagic.end(), data);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const biff::ReadOptions options{.cells = false, .formats = true};
    biff::Workbook workbook;
    try {
        if (IsCompoundFile(data, size)) {
            const tabrook::fuzz::ScratchDir dir;
            workbook = biff::ReadWorkbook(dir.Write("input.xls", tabrook::fuzz::AsText(data, size)),
                                          options);
        } else {
            workbook =
                biff::ReadWorkbookStream(std::vector<std::uint8_t>(data, data + size), options);
        }
    } catch (const biff::BiffError&) {
        return 0;  // refused in plain words
    }
    try {
        const styles::Stylesheet stylesheet =
            styles::BuildStylesheet(workbook.formats, kOfficeStyles);
        for (const biff::Sheet& sheet : workbook.sheets) {
            std::string xml = kOfficeSheet;
            styles::RestoreSheetLayout(xml, sheet.formats, stylesheet.cellFormatOf);
        }
    } catch (const tabrook::calcserver::package::PackageError&) {
        // No cell format to build from: the office's formatting stays.
    }
    return 0;
}
