#pragma once
// The package's shared-string table as the cell step grows it: a text the source's cells
// need is stored there once and every cell refers to it, so a long string shared by many
// cells costs its length once, never once a cell.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "calcserver/package/zip_package.h"

namespace tabrook::calcserver::cellexact {

class SharedStringTable {
  public:
    // The texts the package already holds, in order (their index is their position).
    explicit SharedStringTable(std::vector<std::string> existing);

    const std::vector<std::string>& Texts() const { return texts_; }
    // The index of `text`, adding it at the end when the table lacks it.
    std::uint32_t IndexOf(std::string_view text);
    bool Grew() const { return texts_.size() > existingCount_; }

    // The parts to replace or add so that the package holds the grown table: the shared-string
    // part itself and, when the package had none, the workbook's relationships and the
    // content types that name it. Throws package::PackageError on a malformed part.
    std::map<std::string, std::string> UpdatedParts(const package::ZipReader& zip) const;

  private:
    std::vector<std::string> texts_;
    std::size_t existingCount_;
    // Looked up by view, so that a text already in the table is never copied to find it.
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };
    std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>> index_;
};

}  // namespace tabrook::calcserver::cellexact
