#pragma once
// File URLs for the office: every byte of the path outside the unreserved set escaped, so a
// name with spaces, '#', '%', '$' or any encoding reaches the office unchanged and is never
// taken for a fragment, an escape or a bootstrap macro.

#include <filesystem>
#include <string>

namespace tabrook::calcserver::office {

std::string FileUrl(const std::filesystem::path& path);

}  // namespace tabrook::calcserver::office
