#pragma once
// Reading and writing Office Open XML packages (zip archives) through libzip.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/atomic_file.h"

struct zip;
struct zip_source;

namespace tabrook::calcserver::package {

class PackageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class ZipReader {
  public:
    // Throws PackageError when the file is missing or is not a zip archive.
    explicit ZipReader(const std::filesystem::path& file);
    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    std::vector<std::string> EntryNames() const;
    bool Has(std::string_view name) const;
    // The whole entry; throws PackageError when it is missing or unreadable.
    std::string Read(std::string_view name) const;
    // The entry in chunks, so that large parts never sit whole in memory.
    void Stream(std::string_view name,
                const std::function<void(std::string_view chunk)>& sink) const;

  private:
    friend class ZipWriter;  // copies entries without inflating them
    zip* archive_ = nullptr;
};

// Builds a new archive in a temporary file beside the target; Commit() renames it into
// place, so the target is either absent or complete. Without Commit() nothing remains.
class ZipWriter {
  public:
    // Deflate level of every part: zlib's balanced default, or its fastest for writers whose
    // parts are large and already compact (binary records), where level 9 costs seconds.
    enum class Compression { Balanced, Fast };

    explicit ZipWriter(std::filesystem::path target,
                       Compression compression = Compression::Balanced);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    void Add(const std::string& name, std::string data);
    // Takes the content from a file at Commit() time; the file must live until then.
    void AddFile(const std::string& name, const std::filesystem::path& file);
    // Copies an entry of another archive unchanged, as compressed; `source` is read at
    // Commit() time and must live until then.
    void CopyFrom(const ZipReader& source, const std::string& name);
    // Throws PackageError when the archive cannot be completed or moved into place, and
    // platform::TargetTaken when `placement` forbids replacing a file that has the target's
    // name.
    void Commit(platform::Placement placement = platform::Placement::kReplace);

  private:
    std::filesystem::path target_;
    std::unique_ptr<platform::AtomicFile> file_;  // the archive is built in its temporary
    zip* archive_ = nullptr;
    int level_;

    void AddSource(const std::string& name, zip_source* source);
};

// Writes `target` as a copy of `source` with the parts of `replaced` in place of its own.
// `target` may be the file `source` reads; it is replaced atomically.
void WriteWithParts(const ZipReader& source, const std::filesystem::path& target,
                    std::map<std::string, std::string> replaced);

}  // namespace tabrook::calcserver::package
