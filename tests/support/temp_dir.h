#pragma once
// A fresh folder for one test, removed with everything in it when the test ends.

#include <filesystem>
#include <string>
#include <string_view>

namespace tabrook::testing {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string Str() const { return path_.string(); }
    // Creates (or replaces) a file under the folder, making parent folders as needed.
    std::filesystem::path Write(std::string_view relative, std::string_view content = "") const;
    std::filesystem::path MakeDir(std::string_view relative) const;

  private:
    std::filesystem::path path_;
};

// The shared corpus of real-world workbooks, or an empty path when it is absent.
std::filesystem::path CorpusDir();

}  // namespace tabrook::testing
