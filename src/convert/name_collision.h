#pragma once
// The step that keeps a conversion from writing over anything already in its way.

#include <string>
#include <string_view>

namespace tabrook::platform {
class FileSystem;
}

namespace tabrook::convert {

// `targetPath` without its extension, changed until it is free: a name is taken while a
// folder stands at `targetPath`, or anything (file, folder, hidden or other entry)
// stands at `targetPath` + `extension`. Each time it is taken a counter goes up by one
// and its decimal text is appended: Book, Book1, Book12, Book123, ...
std::string FreeTargetPath(const platform::FileSystem& fileSystem, std::string targetPath,
                           std::string_view extension);

}  // namespace tabrook::convert
