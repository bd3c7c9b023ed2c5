#pragma once
// Takes the VBA project storage out of a legacy workbook's compound file and rebuilds it
// as the compound file an Open XML package holds in xl/vbaProject.bin.

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace tabrook::calcserver::vba {

enum class ProjectKind {
    None,     // no VBA storage, or the file is not a compound file at all
    Current,  // a _VBA_PROJECT_CUR storage (Excel 97 and later)
    Legacy,   // only the _VBA_PROJECT storage of older Excel versions
    // A compound file whose structure this reader refuses although the engine may have read
    // it: whether it holds a project cannot be told.
    Unreadable,
};

struct SourceProject {
    ProjectKind kind = ProjectKind::None;
    // For Current with copying asked for: a new compound file whose root holds the
    // storage's children unchanged (class ids kept), signature streams left out.
    std::string compoundFile;
    std::size_t streams = 0;
    std::size_t storages = 0;
    std::vector<std::string> droppedSignatures;
    std::string reason;  // for Unreadable: why, in plain words
};

// Throws VbaError when the workbook cannot be read, or its VBA project storage is damaged
// or lacks the streams every project has. A compound file whose structure cannot be read
// at all gives Unreadable.
SourceProject ReadSourceProject(const std::filesystem::path& xls, bool copyProject);

}  // namespace tabrook::calcserver::vba
