#include "support/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace tabrook::testing {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tabrook-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempDir::Write(std::string_view relative, std::string_view content) const {
    const std::filesystem::path file = path_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return file;
}

std::filesystem::path TempDir::MakeDir(std::string_view relative) const {
    const std::filesystem::path dir = path_ / relative;
    std::filesystem::create_directories(dir);
    return dir;
}

std::filesystem::path CorpusDir() {
    const char* configured = std::getenv("TABROOK_CORPUS");
    if (configured == nullptr || !std::filesystem::is_directory(configured)) {
        return {};
    }
    return std::filesystem::canonical(configured);
}

}  // namespace tabrook::testing
