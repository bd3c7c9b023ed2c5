// The VBA project copier and the code-name reader on a whole .xls file, with the names it
// reads set into a small workbook and sheet part as the carrier does.

#include <cstddef>
#include <cstdint>
#include <pugixml.hpp>

#include "calcserver/biff/biff_workbook.h"
#include "calcserver/vba/code_names.h"
#include "calcserver/vba/source_project.h"
#include "calcserver/vba/vba_error.h"
#include "scratch_dir.h"

namespace biff = tabrook::calcserver::biff;
namespace vba = tabrook::calcserver::vba;

namespace {

void SetCodeNames(const biff::Workbook& workbook) {
    pugi::xml_document book;
    book.load_string(
        "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<bookViews/><sheets/></workbook>");
    if (vba::IsAcceptableCodeName(workbook.codeName)) {
        vba::SetWorkbookCodeName(book, workbook.codeName);
    }
    for (const biff::Sheet& sheet : workbook.sheets) {
        pugi::xml_document part;
        part.load_string(
            "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
            "<sheetData/></worksheet>");
        if (vba::KindOfSheetPart(part) == vba::SheetPartKind::Worksheet &&
            vba::IsAcceptableCodeName(sheet.codeName)) {
            vba::SetSheetCodeName(part, sheet.codeName);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tabrook::fuzz::ScratchDir dir;
    const auto file = dir.Write("input.xls", tabrook::fuzz::AsText(data, size));
    try {
        vba::ReadSourceProject(file, true);
    } catch (const vba::VbaError&) {
        // A damaged project is refused in plain words.
    }
    try {
        SetCodeNames(biff::ReadWorkbook(file, {.cells = false}));
    } catch (const biff::BiffError&) {
    }
    return 0;
}
