#pragma once
// The storages in which a legacy workbook keeps its embedded OLE objects ("MBD" and eight
// hex digits at the root of the compound file), each taken out as a compound file of its
// own, which is what an Open XML package holds in xl/embeddings/oleObjectN.bin.

#include <cstdint>
#include <filesystem>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tabrook::calcserver::objects {

struct EmbeddedStorage {
    std::string compoundFile;
    std::string progId;  // from the storage's CompObj stream; empty when it names none
};

// The storage of each id that the workbook holds; an id with no such storage is left out.
// Throws vba::VbaError when the compound file or a storage is damaged.
std::map<std::uint32_t, EmbeddedStorage> ReadEmbeddedStorages(
    const std::filesystem::path& xls, const std::vector<std::uint32_t>& ids);

// The workbook's ActiveX control stream ("Ctls"), empty when it has none. Throws
// vba::VbaError when the compound file is damaged or the stream is larger than any honest
// workbook's.
std::string ReadControlStream(const std::filesystem::path& xls);

// The programmatic identifier a CompObj stream names ("Word.Document.8"), or empty when the
// stream is malformed or names none that is plain ASCII.
std::string ProgIdOfCompObj(std::span<const std::uint8_t> stream);

// Whether a name can be a programmatic identifier: ASCII letters, digits, ".", "_", "-",
// at most 39 characters.
bool IsProgId(std::string_view name);

// "MBD0435D8BE" for 0x0435D8BE.
std::string StorageName(std::uint32_t id);

}  // namespace tabrook::calcserver::objects
