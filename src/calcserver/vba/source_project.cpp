#include "calcserver/vba/source_project.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-output.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <string_view>

#include "calcserver/vba/gsf_object.h"
#include "calcserver/vba/vba_error.h"

namespace tabrook::calcserver::vba {
namespace {

constexpr std::string_view kCurrentStorage = "_VBA_PROJECT_CUR";
constexpr std::string_view kLegacyStorage = "_VBA_PROJECT";
// Real projects nest two or three levels; anything far deeper is a malformed directory.
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

GsfPtr<GsfInput> RequireChild(GsfInfile* storage, std::string_view path, std::string_view name,
                              bool wantStorage) {
    GsfPtr<GsfInput> child = ChildByName(storage, name);
    const std::string where = std::string(path) + "/" + std::string(name);
    if (child == nullptr) {
        throw VbaError("the workbook's VBA project is damaged: it has no " + where);
    }
    if (IsStorage(child.get()) != wantStorage) {
        throw VbaError("the workbook's VBA project is damaged: " + where + " is not a " +
                       (wantStorage ? "storage" : "stream"));
    }
    return child;
}

// Every project has a PROJECT stream and a VBA storage with _VBA_PROJECT and dir; the dir
// stream is compressed, and a compressed container starts with the byte 1.
void CheckProjectShape(GsfInfile* project) {
    const std::string root(kCurrentStorage);
    RequireChild(project, root, "PROJECT", false);
    GsfPtr<GsfInput> vba = RequireChild(project, root, "VBA", true);
    RequireChild(GSF_INFILE(vba.get()), root + "/VBA", "_VBA_PROJECT", false);
    GsfPtr<GsfInput> dir = RequireChild(GSF_INFILE(vba.get()), root + "/VBA", "dir", false);
    guint8 first = 0;
    if (gsf_input_size(dir.get()) < 1 || gsf_input_read(dir.get(), 1, &first) == nullptr ||
        first != 1) {
        throw VbaError("the workbook's VBA project is damaged: its module directory is unreadable");
    }
}

void CopyStream(GsfInput* from, GsfOutput* to, const std::string& where) {
    if (gsf_input_seek(from, 0, G_SEEK_SET)) {
        throw VbaError("the workbook's VBA project is damaged: " + where + " cannot be read");
    }
    gsf_off_t remaining = gsf_input_size(from);
    std::array<guint8, kChunk> buffer{};
    while (remaining > 0) {
        const auto count = static_cast<std::size_t>(
            std::min<gsf_off_t>(remaining, static_cast<gsf_off_t>(buffer.size())));
        if (gsf_input_read(from, count, buffer.data()) == nullptr) {
            throw VbaError("the workbook's VBA project is damaged: " + where +
                           " cannot be read to its end");
        }
        if (!gsf_output_write(to, count, buffer.data())) {
            throw VbaError("cannot build the VBA project part: writing " + where + " failed");
        }
        remaining -= static_cast<gsf_off_t>(count);
    }
}

void CopyChildren(GsfInfile* from, GsfOutfile* to, const std::string& path, int depth,
                  SourceProject& result) {
    if (depth > kMaxDepth) {
        throw VbaError("the workbook's VBA project is damaged: its storages nest too deeply");
    }
    const int count = gsf_infile_num_children(from);
    for (int i = 0; i < count; ++i) {
        const std::string name = EntryName(from, i);
        const std::string where = path + "/" + name;
        GsfPtr<GsfInput> child(gsf_infile_child_by_index(from, i));
        if (child == nullptr || name.empty()) {
            throw VbaError("the workbook's VBA project is damaged: " + where + " cannot be opened");
        }
        const bool storage = IsStorage(child.get());
        if (!storage && depth == 0 && IsSignatureStream(name)) {
            result.droppedSignatures.push_back(name);
            continue;
        }
        GsfPtr<GsfOutput> out(gsf_outfile_new_child(to, name.c_str(), storage));
        if (out == nullptr) {
            throw VbaError("cannot build the VBA project part: " + where + " cannot be created");
        }
        if (storage) {
            guint8 classId[16] = {};
            if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(child.get()), classId)) {
                gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(out.get()), classId);
            }
            CopyChildren(GSF_INFILE(child.get()), GSF_OUTFILE(out.get()), where, depth + 1, result);
            ++result.storages;
        } else {
            CopyStream(child.get(), out.get(), where);
            ++result.streams;
        }
        if (!gsf_output_close(out.get())) {
            throw VbaError("cannot build the VBA project part: " + where + " cannot be closed");
        }
    }
}

void CopyProject(GsfInfile* project, SourceProject& result) {
    GsfPtr<GsfOutput> memory(gsf_output_memory_new());
    GsfPtr<GsfOutfile> root(gsf_outfile_msole_new(memory.get()));
    if (root == nullptr) {
        throw VbaError("cannot build the VBA project part");
    }
    CopyChildren(project, root.get(), std::string(kCurrentStorage), 0, result);
    if (!gsf_output_close(GSF_OUTPUT(root.get()))) {
        throw VbaError("cannot build the VBA project part: the compound file cannot be completed");
    }
    root.reset();
    if (!gsf_output_is_closed(memory.get())) {
        gsf_output_close(memory.get());
    }
    const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory.get()));
    const gsf_off_t size = gsf_output_size(memory.get());
    if (bytes == nullptr || size <= 0) {
        throw VbaError("cannot build the VBA project part: the compound file came out empty");
    }
    result.compoundFile.assign(reinterpret_cast<const char*>(bytes),
                               static_cast<std::size_t>(size));
}

}  // namespace

SourceProject ReadSourceProject(const std::filesystem::path& xls, bool copyProject) {
    SourceProject result;
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(xls, ignored)) {
        throw VbaError("the workbook " + xls.string() + " cannot be read");
    }
    // A workbook that is not a compound file (an empty file, text saved as .xls) has no
    // place for a VBA project.
    if (!IsCompoundFile(xls)) {
        return result;
    }
    GErrorSlot error;
    GsfPtr<GsfInput> input(gsf_input_stdio_new(xls.c_str(), error.Out()));
    if (input == nullptr) {
        throw VbaError("the workbook " + xls.string() + " cannot be read: " + error.Message());
    }
    GErrorSlot oleError;
    GsfPtr<GsfInfile> ole(gsf_infile_msole_new(input.get(), oleError.Out()));
    if (ole == nullptr) {
        result.kind = ProjectKind::Unreadable;
        result.reason =
            "the workbook's compound file structure cannot be read (" + oleError.Message() + ")";
        return result;
    }
    GsfPtr<GsfInput> project = ChildByName(ole.get(), kCurrentStorage);
    if (project == nullptr) {
        if (ChildByName(ole.get(), kLegacyStorage) != nullptr) {
            result.kind = ProjectKind::Legacy;
        }
        return result;
    }
    if (!IsStorage(project.get())) {
        throw VbaError("the workbook's VBA project is damaged: _VBA_PROJECT_CUR is not a storage");
    }
    result.kind = ProjectKind::Current;
    CheckProjectShape(GSF_INFILE(project.get()));
    if (copyProject) {
        CopyProject(GSF_INFILE(project.get()), result);
    }
    return result;
}

}  // namespace tabrook::calcserver::vba
