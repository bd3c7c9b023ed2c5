// The cell-value rewriter on a fuzzed worksheet part, against a small fixed source sheet
// that holds one value of every kind, formulas with and without a stored result.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "calcserver/cellexact/sheet_rewriter.h"
#include "calcserver/package/zip_package.h"
#include "scratch_dir.h"

namespace biff = tabrook::calcserver::biff;
namespace cellexact = tabrook::calcserver::cellexact;

namespace {

biff::Sheet SourceSheet() {
    biff::Sheet sheet;
    sheet.name = "Sheet1";
    sheet.cells[{0, 0}] = {1.5};
    sheet.cells[{0, 1}] = {std::string("text & <markup>\x01")};
    sheet.cells[{0, 2}] = {true};
    sheet.cells[{1, 0}] = {biff::ErrorValue{0x07}, true};
    sheet.cells[{1, 1}] = {0.1 + 0.2, true};
    sheet.cells[{1, 2}] = {std::string("result"), true};
    sheet.cells[{2, 0}] = {0.0, true, false};
    sheet.cells[{2, 3}] = {-1e300};
    sheet.cells[{9, 25}] = {std::string(" lead and trail ")};
    sheet.cells[{1048575, 16383}] = {42.0};
    sheet.cells[{1048576, 0}] = {43.0};
    sheet.cells[{5, 5}] = {std::string(40000, 'x')};
    return sheet;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const biff::Sheet source = SourceSheet();
    cellexact::SharedStringTable strings({"one", "", "three & four"});
    std::string xml(tabrook::fuzz::AsText(data, size));
    try {
        cellexact::RewriteSheet(xml, source, strings, size % 2 == 1);
    } catch (const tabrook::calcserver::package::PackageError&) {
        // Not a well-formed worksheet: refused, the part stays as it was.
    }
    return 0;
}
