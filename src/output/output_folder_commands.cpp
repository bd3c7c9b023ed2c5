#include "output/output_folder_commands.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "app/form1.h"
#include "dialogs/common_dialogs.h"
#include "platform/file_system.h"
#include "platform/message_boxes.h"
#include "platform/probe_path.h"
#include "platform/shell.h"
#include "state/listed_path.h"

namespace tabrook::output {
namespace {

using platform::MessageIcon;

void Tell(app::Form1& form, const std::string& text, MessageIcon icon) {
    form.Svc().messageBoxes.Show(&form, text, icon);
}

// The folder a typed or remembered text names, spelled once for the creation, the server
// and the shell alike: absolute from the current folder, without "." components, doubled
// or trailing separators. The root folder comes out empty. ".." stays: only the file system
// knows where it leads when links are involved.
std::string SpelledFolder(const std::string& text) {
    std::string path = text;
    if (!path.empty() && path.front() != '/') {
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(path, error);
        if (!error) {
            path = absolute.string();
        }
    }
    std::string spelled;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view component(path.data() + start, end - start);
        if (!component.empty() && component != ".") {
            if (!spelled.empty() || path.front() == '/') {
                spelled += '/';
            }
            spelled += component;
        }
        start = end + 1;
    }
    return spelled;
}

}  // namespace

void BrowseOutputFolder(app::Form1& form) {
    const std::optional<std::string> path =
        dialogs::ChooseFolder(form.Svc(), &form, "Output Folder");
    if (!path || !state::AcceptListedPath(form, *path)) {
        return;
    }
    platform::ComboBox& folders = form.Combo2();
    folders.AddItem(*path, 0);
    if (folders.ListCount() > 0) {
        folders.SetListIndex(0);
    }
}

void ViewOutputFolder(app::Form1& form) {
    // An empty text stands for the root folder. The shell needs an absolute path.
    const std::string text = form.Combo2().Text();
    const std::string folder = (text.empty() ? std::string() : SpelledFolder(text)) + "/";
    if (platform::ProbePath(form.Svc().fileSystem, folder) == platform::PathKind::Folder) {
        form.Svc().shell.Open(&form, folder, platform::ShowCommand::Show);
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
    outputDir = SpelledFolder(text);
    // A remembered folder that has gone is never made again: it may have been removed on
    // purpose, or belong to a medium that is not mounted.
    if (!typed && !outputDir.empty() &&
        platform::ProbePath(fileSystem, outputDir) != platform::PathKind::Folder) {
        Tell(form, "Folder does not exist!", MessageIcon::Critical);
        return false;
    }
    // An empty spelling is the root folder, which always exists.
    if (typed && !outputDir.empty() &&
        platform::ProbePath(fileSystem, outputDir) != platform::PathKind::Folder &&
        !fileSystem.MakeFolder(outputDir)) {
        Tell(form, "Failed to create folder!", MessageIcon::Critical);
        return false;
    }
    outputDir += '/';
    return true;
}

}  // namespace tabrook::output
