#include "app/lifecycle.h"

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "app/form1.h"
#include "convert/format_table.h"
#include "platform/probe_path.h"
#include "state/state_files.h"

namespace tabrook::app {
namespace {

int ImageForProbe(platform::PathKind probe) {
    switch (probe) {
        case platform::PathKind::File:
            return kImageWorkbook;
        case platform::PathKind::Folder:
            return kImageFolder;
        case platform::PathKind::Missing:
            break;
    }
    return kImageMissing;
}

// The window is closing and can show nothing more, so a list that cannot be kept is at least
// reported where a terminal or a session log sees it.
void SaveList(platform::Services& services, std::string_view file,
              const std::vector<std::string>& lines) {
    const std::string path = state::StateFilePath(services.appFolder, file);
    if (!state::WriteStateList(services.fileSystem, path, lines)) {
        std::cerr << "Tabrook could not save its list in '" << path << "'.\n";
    }
}

}  // namespace

void StartUp(Form1& form) {
    platform::Services& services = form.Svc();
    platform::ListView& sources = form.ListView1();
    // Icons first: rows refer to their images by index.
    sources.SetSmallIcons(&form.ImageList1());
    sources.AddColumn("Please Select the Excel File or Folder to Convert", 4770);
    form.ListView2().AddColumn("Excel Files", 3670);

    const auto entries = state::ReadStateList(
        services.fileSystem, state::StateFilePath(services.appFolder, state::kSourceEntriesFile));
    for (const std::string& entry : entries) {
        platform::ListItem row = sources.Add(entry);
        row.SetSmallIcon(ImageForProbe(platform::ProbePath(services.fileSystem, entry)));
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
    platform::Services& services = form.Svc();
    // Read afresh: the settings dialog may have changed them since start-up.
    const state::Preferences preferences = state::ReadPreferences(
        services.fileSystem, state::StateFilePath(services.appFolder, state::kSettingsFile));

    if (preferences.SaveSourceEntries()) {
        std::vector<std::string> entries;
        platform::ListView& sources = form.ListView1();
        for (int row = 1; row <= sources.Count(); ++row) {
            entries.push_back(sources.Item(row).Text());
        }
        SaveList(services, state::kSourceEntriesFile, entries);
    }
    if (preferences.SaveOutputFolders()) {
        std::vector<std::string> folders;
        platform::ComboBox& combo = form.Combo2();
        const int saved =
            std::min(combo.ListCount(), static_cast<int>(state::kMaxSavedOutputFolders));
        for (int index = 0; index < saved; ++index) {
            folders.push_back(combo.List(index));
        }
        SaveList(services, state::kOutputFoldersFile, folders);
    }
}

}  // namespace tabrook::app
