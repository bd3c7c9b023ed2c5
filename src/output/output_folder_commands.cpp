#include "output/output_folder_commands.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "app/form1.h"
#include "app/probe_path.h"
#include "dialogs/common_dialogs.h"
#include "platform/file_system.h"
#include "platform/message_boxes.h"
#include "platform/shell.h"

namespace tabrook::output {
namespace {

using platform::MessageIcon;

void Tell(app::Form1& form, const std::string& text, MessageIcon icon) {
    form.Svc().messageBoxes.Show(&form, text, icon);
}

std::string WithoutTrailingSeparators(std::string path) {
    while (!path.empty() && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

}  // namespace

void BrowseOutputFolder(app::Form1& form) {
    const std::optional<std::string> path =
        dialogs::ChooseFolder(form.Svc(), &form, "Output Folder");
    if (!path) {
        return;
    }
    platform::ComboBox& folders = form.Combo2();
    folders.AddItem(*path, 0);
    if (folders.ListCount() > 0) {
        folders.SetListIndex(0);
    }
}

void ViewOutputFolder(app::Form1& form) {
    // An empty text stands for the root folder.
    const std::string folder = WithoutTrailingSeparators(form.Combo2().Text()) + "/";
    if (app::ProbePath(form.Svc().fileSystem, folder) == app::kProbeFolder) {
        form.Svc().shell.Open(&form, folder, platform::kShow);
    }
}

void RemoveOutputFolder(app::Form1& form) {
    platform::ComboBox& folders = form.Combo2();
    const int count = folders.ListCount();
    const int index = folders.ListIndex();
    if (count == 0 || index == -1) {
        return;
    }
    folders.RemoveItem(index);
    if (index == count - 1) {
        if (index > 0) {
            folders.SetListIndex(index - 1);
        }
    } else {
        folders.SetListIndex(index);
    }
}

void RemoveAllOutputFolders(app::Form1& form) {
    platform::ComboBox& folders = form.Combo2();
    for (int remaining = folders.ListCount(); remaining > 0; --remaining) {
        folders.RemoveItem(0);
    }
}

bool PrepareOutputFolder(app::Form1& form) {
    const std::string text = form.Combo2().Text();
    const int index = form.Combo2().ListIndex();
    std::string& outputDir = form.Paths().OutputDir;
    outputDir = text;
    platform::FileSystem& fileSystem = form.Svc().fileSystem;

    if (text.empty()) {
        Tell(form, "Please select output folder", MessageIcon::Information);
        return false;
    }
    const bool typed = index == -1;
    // A remembered folder that has gone is never made again: it may have been removed on
    // purpose, or belong to a medium that is not mounted.
    if (!typed && app::ProbePath(fileSystem, text) != app::kProbeFolder) {
        Tell(form, "Folder does not exist!", MessageIcon::Critical);
        return false;
    }

    outputDir = WithoutTrailingSeparators(text);
    // A relative typed path would mean different folders to the creation, to the server
    // and to the shell; spell it once from the current folder.
    if (!outputDir.empty() && outputDir.front() != '/') {
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(outputDir, error);
        if (!error) {
            outputDir = absolute.string();
        }
    }
    // An empty text after trimming is the root folder, which always exists.
    if (typed && !outputDir.empty() && app::ProbePath(fileSystem, outputDir) != app::kProbeFolder &&
        !fileSystem.MakeFolder(outputDir)) {
        Tell(form, "Failed to create folder!", MessageIcon::Critical);
        return false;
    }
    outputDir += '/';
    return true;
}

}  // namespace tabrook::output
