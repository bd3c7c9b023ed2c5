#pragma once
// Paths as the program keeps them (UTF-8 text) and as the system spells them: the
// separator it writes, the separators it reads, and the standard library's path type.

#include <filesystem>
#include <string>
#include <string_view>

#ifdef _WIN32
#include "platform/windows_text.h"
#endif

namespace tabrook::platform {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
inline constexpr std::string_view kPathSeparators = "\\/";
#else
inline constexpr char kPathSeparator = '/';
inline constexpr std::string_view kPathSeparators = "/";
#endif

inline bool EndsWithSeparator(std::string_view path) {
    return !path.empty() && kPathSeparators.find(path.back()) != std::string_view::npos;
}

// Where the last separator stands, npos when there is none.
inline std::size_t LastSeparator(std::string_view path) {
    return path.find_last_of(kPathSeparators);
}

// `folder` and `name` with one separator between them.
inline std::string JoinPath(const std::string& folder, const std::string& name) {
    return EndsWithSeparator(folder) ? folder + name : folder + kPathSeparator + name;
}

// A narrow path means the ANSI code page to Windows' C++ library, so the text crosses as
// UTF-16 there.
inline std::filesystem::path PathFromUtf8(const std::string& text) {
#ifdef _WIN32
    return std::filesystem::path(ToWide(text));
#else
    return std::filesystem::path(text);
#endif
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
#ifdef _WIN32
    return FromWide(path.native());
#else
    return path.native();
#endif
}

}  // namespace tabrook::platform
