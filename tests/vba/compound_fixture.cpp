#include "vba/compound_fixture.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-stdio.h>

#include <stdexcept>

#include "calcserver/vba/gsf_object.h"

namespace tabrook::calcserver::vba::testing {
namespace {

std::string ParentOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash);
}

std::string LeafOf(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

void WriteChildren(GsfOutfile* storage, const std::string& path,
                   const std::vector<CompoundEntry>& entries) {
    for (const CompoundEntry& entry : entries) {
        if (ParentOf(entry.path) != path) {
            continue;
        }
        GsfPtr<GsfOutput> child(
            gsf_outfile_new_child(storage, LeafOf(entry.path).c_str(), entry.storage));
        if (entry.storage) {
            if (!entry.classId.empty()) {
                gsf_outfile_msole_set_class_id(
                    GSF_OUTFILE_MSOLE(child.get()),
                    reinterpret_cast<const guint8*>(entry.classId.data()));
            }
            WriteChildren(GSF_OUTFILE(child.get()), entry.path, entries);
        } else {
            gsf_output_write(child.get(), entry.data.size(),
                             reinterpret_cast<const guint8*>(entry.data.data()));
        }
        gsf_output_close(child.get());
    }
}

void ReadChildren(GsfInfile* storage, const std::string& prefix,
                  std::map<std::string, CompoundEntry>& out) {
    for (int i = 0; i < gsf_infile_num_children(storage); ++i) {
        GsfPtr<GsfInput> child(gsf_infile_child_by_index(storage, i));
        CompoundEntry entry;
        entry.path = prefix + gsf_infile_name_by_index(storage, i);
        entry.storage = gsf_infile_num_children(GSF_INFILE(child.get())) >= 0;
        if (entry.storage) {
            guint8 id[16] = {};
            gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(child.get()), id);
            entry.classId.assign(reinterpret_cast<const char*>(id), sizeof id);
            ReadChildren(GSF_INFILE(child.get()), entry.path + "/", out);
        } else {
            const auto size = static_cast<std::size_t>(gsf_input_size(child.get()));
            entry.data.resize(size);
            if (size > 0 &&
                gsf_input_read(child.get(), size, reinterpret_cast<guint8*>(entry.data.data())) ==
                    nullptr) {
                throw std::runtime_error("unreadable stream " + entry.path);
            }
        }
        out[entry.path] = entry;
    }
}

}  // namespace

void WriteCompoundFile(const std::filesystem::path& file,
                       const std::vector<CompoundEntry>& entries) {
    GsfPtr<GsfOutput> sink(gsf_output_stdio_new(file.c_str(), nullptr));
    GsfPtr<GsfOutfile> root(gsf_outfile_msole_new(sink.get()));
    WriteChildren(root.get(), "", entries);
    gsf_output_close(GSF_OUTPUT(root.get()));
}

std::map<std::string, CompoundEntry> ReadCompoundFile(const std::filesystem::path& file,
                                                      const std::string& under) {
    GsfPtr<GsfInput> input(gsf_input_stdio_new(file.c_str(), nullptr));
    GsfPtr<GsfInfile> root(input ? gsf_infile_msole_new(input.get(), nullptr) : nullptr);
    if (root == nullptr) {
        throw std::runtime_error("not a compound file: " + file.string());
    }
    GsfPtr<GsfInfile> storage(root.release());
    if (!under.empty()) {
        storage.reset(GSF_INFILE(gsf_infile_child_by_vname(storage.get(), under.c_str(), nullptr)));
        if (storage == nullptr) {
            throw std::runtime_error("no storage " + under + " in " + file.string());
        }
    }
    std::map<std::string, CompoundEntry> entries;
    guint8 id[16] = {};
    gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(storage.get()), id);
    entries[""] = {"", true, "", std::string(reinterpret_cast<const char*>(id), sizeof id)};
    ReadChildren(storage.get(), "", entries);
    return entries;
}

}  // namespace tabrook::calcserver::vba::testing
