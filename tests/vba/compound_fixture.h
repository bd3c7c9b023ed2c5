#pragma once
// Compound files for the tests, written with libgsf independently of the code under test.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace tabrook::calcserver::vba::testing {

struct CompoundEntry {
    std::string path;  // below the root, "/"-separated
    bool storage = false;
    std::string data;     // a stream's bytes
    std::string classId;  // a storage's 16 bytes, or empty for none
};

inline CompoundEntry Stream(std::string path, std::string data) {
    return {std::move(path), false, std::move(data), {}};
}
inline CompoundEntry Storage(std::string path, std::string classId = {}) {
    return {std::move(path), true, {}, std::move(classId)};
}

// A compound file with the streams every VBA project has (its dir stream opens like a
// compressed container) beside a Workbook stream that is no BIFF.
std::vector<CompoundEntry> MinimalVbaWorkbook();

// Parents must come before their children.
void WriteCompoundFile(const std::filesystem::path& file,
                       const std::vector<CompoundEntry>& entries);

}  // namespace tabrook::calcserver::vba::testing
