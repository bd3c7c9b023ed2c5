#include "cli/target_names.h"

#include "convert/name_collision.h"
#include "platform/file_system.h"
#include "platform/native_path.h"

namespace tabrook::cli {
namespace {

using platform::SearchKinds;
using platform::SearchResult;

// The file system as the free-name rule sees it, with names already given out standing as
// files. With no file system below, only the given names stand.
class ClaimedNames final : public platform::FileSystem {
  public:
    ClaimedNames(const platform::FileSystem* below, const std::set<std::string>& claimed)
        : below_(below), claimed_(claimed) {}

    SearchResult Search(const std::string& pattern, SearchKinds kinds,
                        std::size_t limit) const override {
        if (claimed_.contains(pattern)) {
            return {{pattern.substr(platform::LastSeparator(pattern) + 1)}, false};
        }
        return below_ ? below_->Search(pattern, kinds, limit) : SearchResult{};
    }
    std::optional<std::uint32_t> Attributes(const std::string& path) const override {
        if (claimed_.contains(path)) {
            return platform::kAttrArchive;
        }
        return below_ ? below_->Attributes(path) : std::nullopt;
    }
    bool Exists(const std::string& path) const override {
        return claimed_.contains(path) || (below_ && below_->Exists(path));
    }
    bool MakeFolder(const std::string&) override { return false; }
    std::optional<std::vector<std::string>> ReadLines(const std::string&) const override {
        return std::nullopt;
    }
    bool WriteLines(const std::string&, const std::vector<std::string>&) override { return false; }

  private:
    const platform::FileSystem* below_;
    const std::set<std::string>& claimed_;
};

std::string BaseName(const std::string& path) {
    std::string name = path.substr(platform::LastSeparator(path) + 1);
    if (const auto dot = name.rfind('.'); dot != std::string::npos) {
        name.resize(dot);
    }
    return name;
}

}  // namespace

std::vector<std::string> PlanTargets(const std::vector<SourceWorkbook>& workbooks,
                                     const std::string& outDir, std::string_view extension,
                                     bool mirror) {
    std::set<std::string> given;
    const ClaimedNames listOnly(nullptr, given);
    std::vector<std::string> planned;
    planned.reserve(workbooks.size());
    for (const SourceWorkbook& workbook : workbooks) {
        std::string name = outDir;
        if (mirror && !workbook.folder.empty()) {
            name = platform::JoinPath(name, workbook.folder);
        }
        name = convert::FreeTargetPath(listOnly, platform::JoinPath(name, BaseName(workbook.path)),
                                       extension);
        given.insert(name + std::string(extension));
        planned.push_back(std::move(name));
    }
    return planned;
}

TargetClaims::TargetClaims(const platform::FileSystem& fileSystem,
                           const std::vector<std::string>& planned, std::string_view extension)
    : fileSystem_(fileSystem), planned_(planned), extension_(extension) {
    for (const std::string& name : planned_) {
        claimed_.insert(name + extension_);
    }
}

std::string TargetClaims::Claim(std::size_t index) {
    std::lock_guard lock(mutex_);
    const std::string planned = planned_.at(index) + extension_;
    claimed_.erase(planned);
    const ClaimedNames onDisk(&fileSystem_, claimed_);
    const std::string name =
        convert::FreeTargetPath(onDisk, planned_[index], extension_) + extension_;
    claimed_.insert(planned);
    claimed_.insert(name);
    return name;
}

}  // namespace tabrook::cli
