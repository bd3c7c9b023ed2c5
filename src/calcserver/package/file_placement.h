#pragma once
// Putting a finished file at its final name: a temporary written beside the target is moved
// there whole, so the target is either absent or complete, and, where the caller asks, an
// existing file of that name is never replaced, not even one that appeared a moment ago.

#include <filesystem>
#include <string>

#include "calcserver/package/zip_package.h"

namespace tabrook::calcserver::package {

// The target's name was taken by another file while the result was being made.
class TargetTaken : public PackageError {
  public:
    using PackageError::PackageError;
};

// A name beside `target` for its temporary: hidden, and unguessable so that no other file
// can be waiting there.
std::filesystem::path TemporaryNameBeside(const std::filesystem::path& target);

// Moves `temporary` to `target`. Throws TargetTaken when `placement` forbids replacing and
// the name is taken, PackageError for any other failure; `temporary` then stays.
void MoveIntoPlace(const std::filesystem::path& temporary, const std::filesystem::path& target,
                   Placement placement);

}  // namespace tabrook::calcserver::package
