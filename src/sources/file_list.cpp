#include "sources/file_list.h"

#include "app/form1.h"
#include "platform/file_system.h"
#include "platform/probe_path.h"

namespace tabrook::sources {

using platform::SearchKinds;

void FillFileList(app::Form1& form, const std::string& entryPath) {
    platform::ListView& files = form.ListView2();
    const platform::FileSystem& fileSystem = form.Svc().fileSystem;
    files.setUpdatesEnabled(false);
    files.Clear();

    if (platform::ProbePath(fileSystem, entryPath) == platform::PathKind::File) {
        const platform::SearchResult found = fileSystem.Search(entryPath, SearchKinds::FilesOnly);
        if (!found.names.empty()) {
            files.Add(found.names.front()).SetChecked(true);
        }
    } else {
        // Only the folder itself: subfolders are never listed.
        const platform::SearchResult found =
            fileSystem.Search(entryPath + "/*.xls", SearchKinds::FilesOnly);
        for (const std::string& name : found.names) {
            files.Add(name).SetChecked(true);
        }
    }

    files.setUpdatesEnabled(true);
    files.Refresh();
    files.setVisible(true);
}

std::string ResolveSourcePath(app::Form1& form, int row) {
    platform::ListView& sources = form.ListView1();
    platform::ListView& files = form.ListView2();
    std::string entry;
    if (sources.Count() > 0) {
        if (const auto selected = sources.SelectedItem()) {
            entry = selected->Text();
        }
    }
    std::string name;
    if (files.Count() > 0 && row >= 1 && row <= files.Count()) {
        name = files.Item(row).Text();
    }

    const platform::FileSystem& fileSystem = form.Svc().fileSystem;
    switch (platform::ProbePath(fileSystem, entry)) {
        case platform::PathKind::File:
            return entry;
        case platform::PathKind::Folder: {
            const std::string candidate = entry + "/" + name;
            return platform::ProbePath(fileSystem, candidate) == platform::PathKind::File
                       ? candidate
                       : std::string();
        }
        default:
            return {};
    }
}

}  // namespace tabrook::sources
