#include "vba/compound_fixture.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-stdio.h>

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

}  // namespace

std::vector<CompoundEntry> MinimalVbaWorkbook() {
    return {Stream("Workbook", "not BIFF"),
            Storage("_VBA_PROJECT_CUR", std::string(16, '\x07')),
            Stream("_VBA_PROJECT_CUR/PROJECT", "ID=\"{00000000}\"\r\nDocument=Sheet1/&H00000000"),
            Storage("_VBA_PROJECT_CUR/VBA"),
            Stream("_VBA_PROJECT_CUR/VBA/_VBA_PROJECT", std::string("\xcc\x61\xff\xff\x00", 5)),
            Stream("_VBA_PROJECT_CUR/VBA/dir", std::string("\x01\x10\xb0\x00", 4))};
}

void WriteCompoundFile(const std::filesystem::path& file,
                       const std::vector<CompoundEntry>& entries) {
    GsfPtr<GsfOutput> sink(gsf_output_stdio_new(file.c_str(), nullptr));
    GsfPtr<GsfOutfile> root(gsf_outfile_msole_new(sink.get()));
    WriteChildren(root.get(), "", entries);
    gsf_output_close(GSF_OUTPUT(root.get()));
}

}  // namespace tabrook::calcserver::vba::testing
