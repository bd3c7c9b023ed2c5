#pragma once

#include "platform/file_system.h"

namespace tabrook::platform {

// The Win32 file system: UTF-16 calls, the hidden and system attributes as Windows keeps
// them, "\" and "/" both separators.
class WindowsFileSystem final : public FileSystem {
  public:
    SearchResult Search(const std::string& pattern, SearchKinds kinds,
                        std::size_t limit = 0) const override;
    std::optional<std::uint32_t> Attributes(const std::string& path) const override;
    bool Exists(const std::string& path) const override;
    bool MakeFolder(const std::string& path) override;
    std::optional<std::vector<std::string>> ReadLines(const std::string& path) const override;
    bool WriteLines(const std::string& path, const std::vector<std::string>& lines) override;
};

}  // namespace tabrook::platform
