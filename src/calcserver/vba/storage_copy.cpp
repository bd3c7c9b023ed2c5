#include "calcserver/vba/storage_copy.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-output.h>

#include <algorithm>
#include <array>
#include <fstream>

#include "calcserver/vba/vba_error.h"

namespace tabrook::calcserver::vba {
namespace {

// Real files nest two or three levels; anything far deeper is a malformed directory.
constexpr int kMaxDepth = 32;
constexpr std::size_t kChunk = 4096;

// A signature covers the file it was made in; moved into another container it no longer
// verifies, and a broken signature is worse than none.
bool IsSignatureStream(std::string_view name) {
    return name ==
               "\x05"
               "DigitalSignature" ||
           name ==
               "\x05"
               "DigitalSignatureAgile" ||
           name ==
               "\x05"
               "DigitalSignatureEx";
}

// Compound-file names compare without regard to letter case.
bool SameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return g_ascii_tolower(x) == g_ascii_tolower(y); });
}

class Copier {
  public:
    Copier(const CopyWording& wording, bool dropSignatures)
        : wording_(wording), dropSignatures_(dropSignatures) {}

    void Children(GsfInfile* from, GsfOutfile* to, const std::string& path, int depth) {
        if (depth > kMaxDepth) {
            throw Damaged("its storages nest too deeply");
        }
        const int count = gsf_infile_num_children(from);
        for (int i = 0; i < count; ++i) {
            const std::string name = EntryName(from, i);
            const std::string where = path + "/" + name;
            GsfPtr<GsfInput> child(gsf_infile_child_by_index(from, i));
            if (child == nullptr || name.empty()) {
                throw Damaged(where + " cannot be opened");
            }
            const bool storage = IsStorage(child.get());
            if (!storage && depth == 0 && dropSignatures_ && IsSignatureStream(name)) {
                copy.droppedSignatures.push_back(name);
                continue;
            }
            GsfPtr<GsfOutput> out(gsf_outfile_new_child(to, name.c_str(), storage));
            if (out == nullptr) {
                throw Unbuilt(where + " cannot be created");
            }
            if (storage) {
                guint8 classId[16] = {};
                if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(child.get()), classId)) {
                    gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(out.get()), classId);
                }
                Children(GSF_INFILE(child.get()), GSF_OUTFILE(out.get()), where, depth + 1);
                ++copy.storages;
            } else {
                Stream(child.get(), out.get(), where);
                ++copy.streams;
            }
            if (!gsf_output_close(out.get())) {
                throw Unbuilt(where + " cannot be closed");
            }
        }
    }

    VbaError Damaged(const std::string& what) const {
        return VbaError("the workbook's " + wording_.source + " is damaged: " + what);
    }
    VbaError Unbuilt(const std::string& what) const {
        return VbaError("cannot build the " + wording_.part + ": " + what);
    }

    StorageCopy copy;

  private:
    void Stream(GsfInput* from, GsfOutput* to, const std::string& where) {
        if (gsf_input_seek(from, 0, G_SEEK_SET)) {
            throw Damaged(where + " cannot be read");
        }
        gsf_off_t remaining = gsf_input_size(from);
        std::array<guint8, kChunk> buffer{};
        while (remaining > 0) {
            const auto count = static_cast<std::size_t>(
                std::min<gsf_off_t>(remaining, static_cast<gsf_off_t>(buffer.size())));
            if (gsf_input_read(from, count, buffer.data()) == nullptr) {
                throw Damaged(where + " cannot be read to its end");
            }
            if (!gsf_output_write(to, count, buffer.data())) {
                throw Unbuilt("writing " + where + " failed");
            }
            remaining -= static_cast<gsf_off_t>(count);
        }
    }

    const CopyWording& wording_;
    bool dropSignatures_;
};

}  // namespace

bool IsCompoundFile(const std::filesystem::path& file) {
    static constexpr std::array<unsigned char, 8> kMagic = {0xD0, 0xCF, 0x11, 0xE0,
                                                            0xA1, 0xB1, 0x1A, 0xE1};
    std::ifstream in(file, std::ios::binary);
    std::array<char, 8> head{};
    if (!in.read(head.data(), head.size())) {
        return false;
    }
    return std::equal(head.begin(), head.end(), kMagic.begin(),
                      [](char c, unsigned char m) { return static_cast<unsigned char>(c) == m; });
}

bool IsStorage(GsfInput* entry) {
    return GSF_IS_INFILE(entry) && gsf_infile_num_children(GSF_INFILE(entry)) >= 0;
}

std::string EntryName(GsfInfile* storage, int index) {
    const char* name = gsf_infile_name_by_index(storage, index);
    return name != nullptr ? name : "";
}

GsfPtr<GsfInput> ChildByName(GsfInfile* storage, std::string_view name) {
    const int count = gsf_infile_num_children(storage);
    for (int i = 0; i < count; ++i) {
        if (SameName(EntryName(storage, i), name)) {
            return GsfPtr<GsfInput>(gsf_infile_child_by_index(storage, i));
        }
    }
    return nullptr;
}

StorageCopy CopyStorage(GsfInfile* storage, const std::string& path, const CopyWording& wording,
                        bool dropSignatures) {
    Copier copier(wording, dropSignatures);
    GsfPtr<GsfOutput> memory(gsf_output_memory_new());
    GsfPtr<GsfOutfile> root(gsf_outfile_msole_new(memory.get()));
    if (root == nullptr) {
        throw copier.Unbuilt("no compound file can be made");
    }
    copier.Children(storage, root.get(), path, 0);
    if (!gsf_output_close(GSF_OUTPUT(root.get()))) {
        throw copier.Unbuilt("the compound file cannot be completed");
    }
    root.reset();
    if (!gsf_output_is_closed(memory.get())) {
        gsf_output_close(memory.get());
    }
    const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory.get()));
    const gsf_off_t size = gsf_output_size(memory.get());
    if (bytes == nullptr || size <= 0) {
        throw copier.Unbuilt("the compound file came out empty");
    }
    copier.copy.compoundFile.assign(reinterpret_cast<const char*>(bytes),
                                    static_cast<std::size_t>(size));
    return std::move(copier.copy);
}

}  // namespace tabrook::calcserver::vba
