#pragma once
// The one way this program writes a file: into a temporary beside the target, flushed, then
// moved to the target's name whole, so that the target is either as it was or complete. A
// file that replaces another keeps that file's permissions; a new one gets those the
// process's umask gives.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tabrook::platform {

// Whether the finished file may replace one that already has the target's name.
enum class Placement { kReplace, kNeverReplace };

// Why a file could not be written, in plain words naming the file or folder.
class FileWriteError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The target's name was taken by another file while the new one was being written.
class TargetTaken : public FileWriteError {
  public:
    using FileWriteError::FileWriteError;
};

class AtomicFile {
  public:
    // Creates the temporary: hidden, unguessable and new, so no other file can be waiting
    // there. Throws FileWriteError when the target's folder cannot be written.
    explicit AtomicFile(std::filesystem::path target);
    // Removes the temporary unless Commit() moved it into place.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // For writers that fill the temporary by its name (a zip library, say).
    const std::filesystem::path& TemporaryPath() const { return temporary_; }
    void Append(std::string_view data);
    // Flushes, sets the permissions and moves the temporary to the target's name. Throws
    // TargetTaken when `placement` forbids replacing and the name is taken, FileWriteError
    // for any other failure; the temporary is removed either way.
    void Commit(Placement placement);

  private:
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    int fd_ = -1;
    bool committed_ = false;
};

// Writes `content` as the whole file `target`; returns the reason it could not, or "".
std::string WriteFileAtomically(const std::filesystem::path& target, std::string_view content,
                                Placement placement);

}  // namespace tabrook::platform
