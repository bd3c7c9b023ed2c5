#pragma once
// A private temporary folder for one fuzz input, for readers that take a path. It and
// everything written into it are gone when the object is.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tabrook::fuzz {

class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::filesystem::path Write(const std::string& name, std::string_view bytes) const;
    std::filesystem::path Path(const std::string& name) const { return dir_ / name; }

  private:
    std::filesystem::path dir_;
};

std::string_view AsText(const std::uint8_t* data, std::size_t size);

}  // namespace tabrook::fuzz
