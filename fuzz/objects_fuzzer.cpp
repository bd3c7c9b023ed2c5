// The reader of what sits on the sheets: drawing and object records, the picture store,
// the embedded objects' storages and their CompObj streams. Input that is not a compound
// file goes straight to the record reader.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "calcserver/biff/biff_workbook.h"
#include "calcserver/biff/compound_stream.h"
#include "calcserver/objects/embedded_storages.h"
#include "calcserver/objects/source_objects.h"
#include "calcserver/vba/vba_error.h"
#include "scratch_dir.h"

namespace objects = tabrook::calcserver::objects;

namespace {

bool IsCompoundFile(const std::uint8_t* data, std::size_t size) {
    static constexpr std::array<std::uint8_t, 4> kMagic = {0xD0, 0xCF, 0x11, 0xE0};
    return size >= kMagic.size() && std::equal(kMagic.begin(), kMagic.end(), data);
}

std::vector<std::uint32_t> StorageIds(const objects::SourceObjects& read) {
    std::vector<std::uint32_t> ids;
    for (const auto& sheet : read.sheets) {
        for (const auto& object : sheet.embedded) {
            ids.push_back(object.storageId);
        }
    }
    return ids;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        if (IsCompoundFile(data, size)) {
            const tabrook::fuzz::ScratchDir dir;
            const auto file = dir.Write("input.xls", tabrook::fuzz::AsText(data, size));
            const auto read = objects::ReadSourceObjects(
                tabrook::calcserver::biff::ReadWorkbookStreamFromFile(file));
            objects::ReadEmbeddedStorages(file, StorageIds(read));
        } else {
            objects::ReadSourceObjects(std::span<const std::uint8_t>(data, size));
            objects::ProgIdOfCompObj(std::span<const std::uint8_t>(data, size));
        }
    } catch (const tabrook::calcserver::biff::BiffError&) {
        // A refusal in plain words is the right answer to a damaged file.
    } catch (const tabrook::calcserver::vba::VbaError&) {
    }
    return 0;
}
