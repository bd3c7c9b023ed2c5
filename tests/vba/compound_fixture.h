#pragma once
// Compound files for the tests, written and read back with libgsf independently of the
// code under test.

#include <filesystem>
#include <map>
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

// Parents must come before their children.
void WriteCompoundFile(const std::filesystem::path& file,
                       const std::vector<CompoundEntry>& entries);

// Every entry below the storage `under` ("" for the root), keyed by its path relative to it;
// the key "" holds the storage itself (its class id).
std::map<std::string, CompoundEntry> ReadCompoundFile(const std::filesystem::path& file,
                                                      const std::string& under = "");

}  // namespace tabrook::calcserver::vba::testing
