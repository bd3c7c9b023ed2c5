#include "calcserver/objects/embedded_storages.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>

#include <cstdio>

#include "calcserver/biff/biff_workbook.h"
#include "calcserver/biff/record_cursor.h"
#include "calcserver/vba/gsf_object.h"
#include "calcserver/vba/storage_copy.h"
#include "calcserver/vba/vba_error.h"

namespace tabrook::calcserver::objects {
namespace {

using vba::GsfPtr;

// A CompObj stream is a few hundred bytes; a longer one is not read.
constexpr gsf_off_t kMaxCompObjBytes = 4096;
constexpr std::uint32_t kMaxProgIdLength = 39;  // COM's limit
// Each control keeps a few hundred bytes there; a picture of one may make it larger.
constexpr gsf_off_t kMaxControlStreamBytes = gsf_off_t{64} << 20;

std::string LengthPrefixedText(biff::FieldReader& reader) {
    const std::uint32_t length = reader.U32();
    if (length > reader.Remaining()) {
        throw biff::BiffError("text runs past the stream");
    }
    const auto bytes = reader.Bytes(length);
    std::string text(bytes.begin(), bytes.end());
    if (!text.empty() && text.back() == '\0') {
        text.pop_back();
    }
    return text;
}

std::string ReadProgId(GsfInfile* storage) {
    GsfPtr<GsfInput> stream = vba::ChildByName(storage,
                                               "\x01"
                                               "CompObj");
    if (stream == nullptr || vba::IsStorage(stream.get())) {
        return {};
    }
    const gsf_off_t size = std::min(gsf_input_size(stream.get()), kMaxCompObjBytes);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::max<gsf_off_t>(size, 0)));
    if (bytes.empty() || gsf_input_read(stream.get(), bytes.size(), bytes.data()) == nullptr) {
        return {};
    }
    return ProgIdOfCompObj(bytes);
}

}  // namespace

std::string StorageName(std::uint32_t id) {
    char name[16];
    std::snprintf(name, sizeof name, "MBD%08X", id);
    return name;
}

bool IsProgId(std::string_view text) {
    if (text.empty() || text.size() > kMaxProgIdLength) {
        return false;
    }
    for (const char c : text) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        if (!plain) {
            return false;
        }
    }
    return true;
}

std::string ProgIdOfCompObj(std::span<const std::uint8_t> stream) {
    try {
        biff::FieldReader reader(stream);
        reader.Skip(28);             // header with the class id
        LengthPrefixedText(reader);  // the user-facing type name
        const std::uint32_t format = reader.U32();
        if (format == 0xFFFFFFFF || format == 0xFFFFFFFE) {
            reader.Skip(4);  // a standard clipboard format's number
        } else if (format > 0) {
            reader.Skip(format);  // a registered format's name
        }
        std::string progId = LengthPrefixedText(reader);
        return IsProgId(progId) ? progId : std::string();
    } catch (const biff::BiffError&) {
        return {};
    }
}

namespace {

GsfPtr<GsfInfile> OpenCompoundFile(const std::filesystem::path& xls, GsfPtr<GsfInput>& input) {
    vba::GErrorSlot error;
    input.reset(gsf_input_stdio_new(xls.c_str(), error.Out()));
    if (input == nullptr) {
        throw vba::VbaError("the workbook " + xls.string() + " cannot be read: " + error.Message());
    }
    vba::GErrorSlot oleError;
    GsfPtr<GsfInfile> ole(gsf_infile_msole_new(input.get(), oleError.Out()));
    if (ole == nullptr) {
        throw vba::VbaError("the workbook's compound file structure cannot be read (" +
                            oleError.Message() + ")");
    }
    return ole;
}

}  // namespace

std::string ReadControlStream(const std::filesystem::path& xls) {
    if (!vba::IsCompoundFile(xls)) {
        return {};
    }
    GsfPtr<GsfInput> input;
    GsfPtr<GsfInfile> ole = OpenCompoundFile(xls, input);
    GsfPtr<GsfInput> stream = vba::ChildByName(ole.get(), "Ctls");
    if (stream == nullptr || vba::IsStorage(stream.get())) {
        return {};
    }
    const gsf_off_t size = gsf_input_size(stream.get());
    if (size < 0 || size > kMaxControlStreamBytes) {
        throw vba::VbaError("the workbook's control stream is larger than any workbook's");
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (size > 0 && gsf_input_read(stream.get(), bytes.size(),
                                   reinterpret_cast<guint8*>(bytes.data())) == nullptr) {
        throw vba::VbaError("the workbook's control stream cannot be read to its end");
    }
    return bytes;
}

std::map<std::uint32_t, EmbeddedStorage> ReadEmbeddedStorages(
    const std::filesystem::path& xls, const std::vector<std::uint32_t>& ids) {
    std::map<std::uint32_t, EmbeddedStorage> storages;
    if (ids.empty() || !vba::IsCompoundFile(xls)) {
        return storages;
    }
    GsfPtr<GsfInput> input;
    GsfPtr<GsfInfile> ole = OpenCompoundFile(xls, input);
    for (const std::uint32_t id : ids) {
        const std::string name = StorageName(id);
        if (storages.count(id) != 0) {
            continue;
        }
        GsfPtr<GsfInput> storage = vba::ChildByName(ole.get(), name);
        if (storage == nullptr || !vba::IsStorage(storage.get())) {
            continue;
        }
        EmbeddedStorage embedded;
        embedded.compoundFile =
            vba::CopyStorage(GSF_INFILE(storage.get()), name,
                             {"embedded object " + name, "embedded object part"}, false)
                .compoundFile;
        embedded.progId = ReadProgId(GSF_INFILE(storage.get()));
        storages.emplace(id, std::move(embedded));
    }
    return storages;
}

}  // namespace tabrook::calcserver::objects
