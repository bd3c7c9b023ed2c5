#include "dialogs/common_dialogs.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/services.h"

namespace tabrook::dialogs {
namespace {

constexpr std::string_view kOpenFilterDescription = "Excel Files(*.xls;*.xlsx;*.xlsm;*.xlsb)";
constexpr std::string_view kOpenFilterPattern = "*.xl*";
constexpr std::string_view kSaveTitle = "Save";
constexpr std::string_view kAnyFileFilter = "*.*|*.*";

std::string UpToFirstNul(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

bool IsBlank(std::string_view text) {
    return text.find_first_not_of(' ') == std::string_view::npos;
}

// Characters, not bytes: texts are UTF-8 here.
std::size_t CharacterCount(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// The folder that holds `path`. A file directly in the root is held by "/", not by an
// empty text, so the result is always a usable folder for a full path.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Pairs of description and pattern from "desc|pattern|desc|pattern"; an unpaired last
// description has no pattern to offer and is left out.
std::vector<platform::FileFilter> SplitFilter(const std::string& filter) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t bar = filter.find('|', start);
        pieces.push_back(filter.substr(start, bar - start));
        if (bar == std::string::npos) {
            break;
        }
        start = bar + 1;
    }
    std::vector<platform::FileFilter> filters;
    for (std::size_t i = 0; i + 1 < pieces.size(); i += 2) {
        filters.push_back({pieces[i], pieces[i + 1]});
    }
    return filters;
}

}  // namespace

CCommonDialogs::CCommonDialogs(platform::Dialogs& dialogs, const platform::FileSystem& fileSystem,
                               std::string appFolder)
    : dialogs_(dialogs), fileSystem_(fileSystem), appFolder_(std::move(appFolder)) {}

CCommonDialogs::CCommonDialogs(const platform::Services& services)
    : CCommonDialogs(services.dialogs, services.fileSystem, services.appFolder) {}

void CCommonDialogs::Init(QWidget* ownerForm) {
    owner_ = ownerForm;
}

std::string CCommonDialogs::FileTitle() const {
    return UpToFirstNul(fileTitle_);
}

std::string CCommonDialogs::Path() const {
    return UpToFirstNul(path_);
}

std::string CCommonDialogs::FileName() const {
    return UpToFirstNul(fileName_);
}

std::string CCommonDialogs::Title() const {
    return UpToFirstNul(title_);
}

void CCommonDialogs::TakeChosenFile(const std::string& fullPath) {
    fileName_ = fullPath;
    fileTitle_ = NameOf(fullPath);
    path_ = FolderOf(fullPath);
}

bool CCommonDialogs::ShowOpen() {
    const std::string initialName = FileName();
    if (CharacterCount(initialName) > kMaxOpenFileName) {
        throw InvalidArgumentError("FileName is longer than " + std::to_string(kMaxOpenFileName) +
                                   " characters");
    }
    platform::FileDialogRequest request;
    request.title = Title();
    request.filters = {{std::string(kOpenFilterDescription), std::string(kOpenFilterPattern)}};
    request.selectedFilter = 0;
    request.initialName = initialName;
    request.defaultExtension = UpToFirstNul(defExt_);

    const std::optional<std::string> chosen = dialogs_.OpenFile(Owner(), request);
    if (!chosen.has_value() || chosen->empty()) {
        return false;
    }
    TakeChosenFile(*chosen);
    return true;
}

bool CCommonDialogs::ShowSave() {
    // Settle the starting folder first; it stays even when the user cancels.
    if (IsBlank(path_)) {
        path_ = appFolder_;
    } else {
        if (path_.back() != '/') {
            path_ += '/';
        }
        // A folder search lists at least the folder's own "." when the folder can be read.
        if (fileSystem_.Search(path_, platform::SearchKinds::FilesAndFolders, 1).names.empty()) {
            path_ = appFolder_;
        }
    }

    platform::FileDialogRequest request;
    request.title = std::string(kSaveTitle);
    request.filters = SplitFilter(IsBlank(filter_) ? std::string(kAnyFileFilter) : filter_);
    request.selectedFilter = 0;
    request.initialFolder = Path();

    const std::optional<std::string> chosen = dialogs_.SaveFile(Owner(), request);
    if (!chosen.has_value() || chosen->empty()) {
        return false;
    }
    TakeChosenFile(*chosen);
    return true;
}

bool CCommonDialogs::ShowFolder() {
    const std::optional<std::string> chosen = dialogs_.Folder(Owner(), Title());
    if (!chosen.has_value()) {
        return false;
    }
    std::string folder = *chosen;
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    path_ = folder;
    fileName_.clear();
    fileTitle_.clear();
    return true;
}

std::optional<std::string> ChooseFolder(const platform::Services& services, QWidget* owner,
                                        const std::string& title) {
    CCommonDialogs dialog(services);
    dialog.Init(owner);
    dialog.SetTitle(title);
    if (!dialog.ShowFolder() || dialog.Path().empty()) {
        return std::nullopt;
    }
    return dialog.Path();
}

}  // namespace tabrook::dialogs
