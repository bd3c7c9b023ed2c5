// The legacy workbook reader on a whole .xls file. Input that is not a compound file goes
// straight to the record reader, so the fuzzer reaches records without building sectors.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "calcserver/biff/biff_workbook.h"
#include "scratch_dir.h"

namespace biff = tabrook::calcserver::biff;

namespace {

bool IsCompoundFile(const std::uint8_t* data, std::size_t size) {
    static constexpr std::array<std::uint8_t, 4> kMagic = {0xD0, 0xCF, 0x11, 0xE0};
    return size >= kMagic.size() && std::equal(kMagic.begin(), kMagic.end(), data);
}

// Touches every value so that a reader handing out bad text or codes shows up here.
std::size_t Walk(const biff::Workbook& workbook) {
    std::size_t total = workbook.codeName.size();
    for (const biff::Sheet& sheet : workbook.sheets) {
        total += sheet.name.size() + sheet.codeName.size();
        for (const auto& [address, cell] : sheet.cells) {
            if (const auto* text = std::get_if<biff::Text>(&cell.value)) {
                total += text->str().size();
            } else if (const auto* error = std::get_if<biff::ErrorValue>(&cell.value)) {
                total += biff::ErrorText(*error).size();
            }
        }
    }
    // Every defined name through the formula decoder, in the context the workbook gives.
    std::vector<std::string> sheetNames;
    for (const biff::Sheet& sheet : workbook.sheets) {
        sheetNames.push_back(sheet.name);
    }
    const biff::FormulaContext context = biff::FormulaContextOf(workbook.names, sheetNames);
    for (const biff::DefinedName& name : workbook.names.names) {
        total += biff::DecodeFormula(name.tokens, context, name.trailing).text.size();
    }
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        if (IsCompoundFile(data, size)) {
            const tabrook::fuzz::ScratchDir dir;
            const auto file = dir.Write("input.xls", tabrook::fuzz::AsText(data, size));
            Walk(biff::ReadWorkbook(file));
            Walk(biff::ReadWorkbook(file, {.cells = false}));
            Walk(biff::ReadWorkbook(file, {.cells = true, .formats = true, .names = true}));
        } else {
            const std::vector<std::uint8_t> stream(data, data + size);
            Walk(biff::ReadWorkbookStream(stream));
            Walk(biff::ReadWorkbookStream(stream, {.cells = true, .formats = true, .names = true}));
        }
    } catch (const biff::BiffError&) {
        // A refusal in plain words is the right answer to a damaged file.
    }
    return 0;
}
