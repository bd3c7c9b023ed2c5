#pragma once
// The FileFormat codes SaveAs accepts and the office export filter behind each.

#include <cstdint>
#include <filesystem>
#include <string>

namespace tabrook::calcserver::server {

struct SaveFormat {
    std::int32_t code;
    std::string filter;     // the office's export filter
    std::string extension;  // of the office's own output file
};

// Throws platform::AutomationError 1004, naming `target`, for a code this server cannot
// write.
SaveFormat LookUpSaveFormat(std::int32_t code, const std::filesystem::path& target);

}  // namespace tabrook::calcserver::server
