#include "calcserver/vba/source_project.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>

#include <string_view>
#include <utility>

#include "calcserver/vba/gsf_object.h"
#include "calcserver/vba/storage_copy.h"
#include "calcserver/vba/vba_error.h"

namespace tabrook::calcserver::vba {
namespace {

constexpr std::string_view kCurrentStorage = "_VBA_PROJECT_CUR";
constexpr std::string_view kLegacyStorage = "_VBA_PROJECT";

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
        StorageCopy copy = CopyStorage(GSF_INFILE(project.get()), std::string(kCurrentStorage),
                                       {"VBA project", "VBA project part"}, true);
        result.compoundFile = std::move(copy.compoundFile);
        result.streams = copy.streams;
        result.storages = copy.storages;
        result.droppedSignatures = std::move(copy.droppedSignatures);
    }
    return result;
}

}  // namespace tabrook::calcserver::vba
