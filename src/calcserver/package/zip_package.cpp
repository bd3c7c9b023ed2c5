#include "calcserver/package/zip_package.h"

#include <unistd.h>
#include <zip.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <system_error>

namespace tabrook::calcserver::package {
namespace {

std::string ArchiveError(zip* archive) {
    return zip_strerror(archive);
}

// Every entry carries the same time, 1980-01-01 00:00 in DOS form as Excel writes it, so
// that a package depends on its content alone and never on the clock.
constexpr zip_uint16_t kEntryDosTime = 0;
constexpr zip_uint16_t kEntryDosDate = (0 << 9) | (1 << 5) | 1;

zip_file_t* OpenEntry(zip* archive, std::string_view name) {
    const std::string key(name);
    zip_file_t* entry = zip_fopen(archive, key.c_str(), 0);
    if (entry == nullptr) {
        throw PackageError("the package has no readable part " + key);
    }
    return entry;
}

}  // namespace

ZipReader::ZipReader(const std::filesystem::path& file) {
    int error = 0;
    archive_ = zip_open(file.c_str(), ZIP_RDONLY, &error);
    if (archive_ == nullptr) {
        zip_error_t details;
        zip_error_init_with_code(&details, error);
        std::string reason = zip_error_strerror(&details);
        zip_error_fini(&details);
        throw PackageError(file.string() + " is not a readable package: " + reason);
    }
}

ZipReader::~ZipReader() {
    if (archive_ != nullptr) {
        zip_discard(archive_);
    }
}

std::vector<std::string> ZipReader::EntryNames() const {
    std::vector<std::string> names;
    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        if (const char* name = zip_get_name(archive_, static_cast<zip_uint64_t>(i), 0)) {
            names.emplace_back(name);
        }
    }
    return names;
}

bool ZipReader::Has(std::string_view name) const {
    return zip_name_locate(archive_, std::string(name).c_str(), 0) >= 0;
}

std::string ZipReader::Read(std::string_view name) const {
    std::string content;
    Stream(name, [&content](std::string_view chunk) { content.append(chunk); });
    return content;
}

void ZipReader::Stream(std::string_view name,
                       const std::function<void(std::string_view chunk)>& sink) const {
    // Closed however the loop ends, a throwing sink included.
    const std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> entry(OpenEntry(archive_, name),
                                                                  &zip_fclose);
    char buffer[64 * 1024];
    for (;;) {
        const zip_int64_t got = zip_fread(entry.get(), buffer, sizeof buffer);
        if (got < 0) {
            throw PackageError("the package part " + std::string(name) + " is damaged");
        }
        if (got == 0) {
            break;
        }
        sink(std::string_view(buffer, static_cast<std::size_t>(got)));
    }
}

ZipWriter::ZipWriter(std::filesystem::path target, Compression compression)
    : target_(std::move(target)), level_(compression == Compression::Fast ? 1 : 6) {
    // The temporary is hidden, so that a program killed mid-write leaves nothing in plain
    // sight that looks like a finished workbook, and new, so that libzip never writes
    // through another's file.
    try {
        file_ = std::make_unique<platform::AtomicFile>(target_);
    } catch (const platform::FileWriteError& error) {
        throw PackageError(error.what());
    }
    int error = 0;
    archive_ = zip_open(file_->TemporaryPath().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive_ == nullptr) {
        throw PackageError("cannot create a package in " + target_.parent_path().string());
    }
}

ZipWriter::~ZipWriter() {
    if (archive_ != nullptr) {
        zip_discard(archive_);
    }
}

void ZipWriter::Add(const std::string& name, std::string data) {
    // libzip reads the data at close time, so it gets its own copy to free. An empty part
    // needs no buffer at all (and libzip would not free one of length 0).
    void* copy = nullptr;
    if (!data.empty()) {
        copy = std::malloc(data.size());
        if (copy == nullptr) {
            throw PackageError("out of memory while writing " + name);
        }
        std::memcpy(copy, data.data(), data.size());
    }
    zip_source_t* source = zip_source_buffer(archive_, copy, data.size(), copy != nullptr ? 1 : 0);
    if (source == nullptr) {
        std::free(copy);
        throw PackageError("cannot add " + name + ": " + ArchiveError(archive_));
    }
    AddSource(name, source);
}

void ZipWriter::AddFile(const std::string& name, const std::filesystem::path& file) {
    zip_source_t* source = zip_source_file(archive_, file.c_str(), 0, -1);
    if (source == nullptr) {
        throw PackageError("cannot read " + file.string() + ": " + ArchiveError(archive_));
    }
    AddSource(name, source);
}

void ZipWriter::AddSource(const std::string& name, zip_source_t* source) {
    const zip_int64_t index =
        zip_file_add(archive_, name.c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(source);
        throw PackageError("cannot add " + name + ": " + ArchiveError(archive_));
    }
    const auto entry = static_cast<zip_uint64_t>(index);
    zip_set_file_compression(archive_, entry, ZIP_CM_DEFLATE, static_cast<zip_uint32_t>(level_));
    zip_file_set_dostime(archive_, entry, kEntryDosTime, kEntryDosDate, 0);
}

void ZipWriter::CopyFrom(const ZipReader& source, const std::string& name) {
    // The part's compressed bytes go across as they are, read when the archive is written:
    // inflating and deflating again every part a step leaves alone was most of a finishing
    // step's time. The final package check reads every XML part in full, with its checksum.
    const zip_int64_t index = zip_name_locate(source.archive_, name.c_str(), 0);
    if (index < 0) {
        throw PackageError("the package has no readable part " + name);
    }
    zip_source_t* raw = zip_source_zip(archive_, source.archive_, static_cast<zip_uint64_t>(index),
                                       ZIP_FL_COMPRESSED, 0, -1);
    if (raw == nullptr) {
        throw PackageError("cannot copy " + name + ": " + ArchiveError(archive_));
    }
    AddSource(name, raw);
}

void ZipWriter::Commit(platform::Placement placement) {
    // On any failure the temporary goes at once, not only when the writer does.
    if (zip_close(archive_) != 0) {
        const std::string reason = ArchiveError(archive_);
        zip_discard(archive_);
        archive_ = nullptr;
        file_.reset();
        throw PackageError("cannot write " + target_.string() + ": " + reason);
    }
    archive_ = nullptr;
    try {
        file_->Commit(placement);
    } catch (const platform::TargetTaken&) {
        file_.reset();
        throw;
    } catch (const platform::FileWriteError& error) {
        file_.reset();
        throw PackageError(error.what());
    }
}

void WriteWithParts(const ZipReader& source, const std::filesystem::path& target,
                    std::map<std::string, std::string> replaced) {
    ZipWriter writer(target);
    for (const std::string& name : source.EntryNames()) {
        if (auto part = replaced.find(name); part != replaced.end()) {
            writer.Add(name, std::move(part->second));
        } else {
            writer.CopyFrom(source, name);
        }
    }
    writer.Commit();
}

}  // namespace tabrook::calcserver::package
