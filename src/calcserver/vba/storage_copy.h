#pragma once
// Reading a compound file's entries through libgsf, and copying one storage of it into a
// compound file of its own: the VBA project part and embedded object parts are both that.

#include <gsf/gsf-infile.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "calcserver/vba/gsf_object.h"

namespace tabrook::calcserver::vba {

// Whether the file begins with the compound-file signature.
bool IsCompoundFile(const std::filesystem::path& file);

bool IsStorage(GsfInput* entry);
std::string EntryName(GsfInfile* storage, int index);
// The child of that name in any letter case, as compound-file names compare; null if none.
GsfPtr<GsfInput> ChildByName(GsfInfile* storage, std::string_view name);

struct StorageCopy {
    // A new compound file whose root holds the storage's children unchanged (class ids kept).
    std::string compoundFile;
    std::size_t streams = 0;
    std::size_t storages = 0;
    std::vector<std::string> droppedSignatures;
};

// How a failure names what was being copied: "the workbook's <source> is damaged: ...",
// "cannot build the <part>: ...".
struct CopyWording {
    std::string source;
    std::string part;
};

// Copies `storage` (found at `path`) whole, leaving out the signature streams at its top
// when `dropSignatures`. Nesting is bounded. Throws VbaError worded by `wording`.
StorageCopy CopyStorage(GsfInfile* storage, const std::string& path, const CopyWording& wording,
                        bool dropSignatures);

}  // namespace tabrook::calcserver::vba
