#include "app/lifecycle.h"

#include <algorithm>

#include "app/form1.h"
#include "app/probe_path.h"
#include "convert/format_table.h"
#include "state/state_files.h"

namespace tabrook::app {
namespace {

int ImageForProbe(int probe) {
    switch (probe) {
        case kProbeFile:
            return kImageWorkbook;
        case kProbeFolder:
            return kImageFolder;
        default:
            return kImageMissing;
    }
}

}  // namespace

void StartUp(Form1& form) {
    Services& services = form.Svc();
    platform::ListView& sources = form.ListView1();
    // Icons first: rows refer to their images by index.
    sources.SetSmallIcons(&form.ImageList1());
    sources.AddColumn("Please Select the Excel File or Folder to Convert", 4770);
    form.ListView2().AddColumn("Excel Files", 3670);

    const auto entries = state::ReadStateList(
        services.fileSystem, state::StateFilePath(services.appFolder, state::kSourceEntriesFile));
    for (const std::string& entry : entries) {
        platform::ListItem row = sources.Add(entry);
        row.SetSmallIcon(ImageForProbe(ProbePath(services.fileSystem, entry)));
    }

    platform::ComboBox& folders = form.Combo2();
    for (const std::string& folder : state::ReadStateList(
             services.fileSystem,
             state::StateFilePath(services.appFolder, state::kOutputFoldersFile))) {
        folders.AddItem(folder);
    }
    if (folders.ListCount() >= 1) {
        folders.SetListIndex(0);
    }

    for (const convert::OutputFormat& format : convert::kFormatChoices) {
        form.Combo1().AddItem(std::string(format.caption));
    }
    form.Combo1().SetListIndex(0);
}

void ShutDown(Form1& form) {
    Services& services = form.Svc();
    // Read afresh: the settings dialog may have changed them since start-up.
    const state::Preferences preferences = state::ReadPreferences(
        services.fileSystem, state::StateFilePath(services.appFolder, state::kSettingsFile));

    if (preferences.SaveSourceEntries()) {
        std::vector<std::string> entries;
        platform::ListView& sources = form.ListView1();
        for (int row = 1; row <= sources.Count(); ++row) {
            entries.push_back(sources.Item(row).Text());
        }
        state::WriteStateList(services.fileSystem,
                              state::StateFilePath(services.appFolder, state::kSourceEntriesFile),
                              entries);
    }
    if (preferences.SaveOutputFolders()) {
        std::vector<std::string> folders;
        platform::ComboBox& combo = form.Combo2();
        const int saved =
            std::min(combo.ListCount(), static_cast<int>(state::kMaxSavedOutputFolders));
        for (int index = 0; index < saved; ++index) {
            folders.push_back(combo.List(index));
        }
        state::WriteStateList(services.fileSystem,
                              state::StateFilePath(services.appFolder, state::kOutputFoldersFile),
                              folders);
    }
}

}  // namespace tabrook::app
