#include "sources/file_list.h"

#include "app/form1.h"
#include "app/probe_path.h"
#include "platform/file_system.h"

namespace tabrook::sources {

using platform::SearchKinds;

void FillFileList(app::Form1& form, const std::string& entryPath) {
    platform::ListView& files = form.ListView2();
    const platform::FileSystem& fileSystem = form.Svc().fileSystem;
    files.setUpdatesEnabled(false);
    files.Clear();

    if (app::ProbePath(fileSystem, entryPath) == app::kProbeFile) {
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
    switch (app::ProbePath(fileSystem, entry)) {
        case app::kProbeFile:
            return entry;
        case app::kProbeFolder: {
            const std::string candidate = entry + "/" + name;
            return app::ProbePath(fileSystem, candidate) == app::kProbeFile ? candidate
                                                                            : std::string();
        }
        default:
            return {};
    }
}

}  // namespace tabrook::sources
