#pragma once
// Taking the workbook stream out of an .xls compound file.

#include <cstdint>
#include <filesystem>
#include <vector>

namespace tabrook::calcserver::biff {

// The bytes of the "Workbook" stream. Throws BiffError when the file is not a compound
// file, holds only an older "Book" stream, or holds no workbook at all.
std::vector<std::uint8_t> ReadWorkbookStreamFromFile(const std::filesystem::path& xls);

}  // namespace tabrook::calcserver::biff
