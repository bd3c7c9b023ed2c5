// The atomic writer on Windows: a flushed temporary beside the target, then one
// MoveFileExW to the target's name, replacing a file there only where the caller allows it.
// The program writes only whole files here, so only WriteFileAtomically is built.
#include <windows.h>

#include <algorithm>
#include <memory>

#include "platform/atomic_file.h"
#include "platform/windows_text.h"

namespace tabrook::platform {
namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;

// A new, empty file beside `target` that nothing else can be using: CREATE_NEW refuses a
// name another process or an earlier crash left behind, and the next one is tried.
FileHandle CreateTemporaryBeside(const std::wstring& target, std::wstring& temporary) {
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        temporary = target + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                    std::to_wstring(attempt) + L".tmp";
        HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            return FileHandle(file);
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    return nullptr;
}

bool WriteAll(HANDLE file, std::string_view data) {
    while (!data.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, data.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        data.remove_prefix(written);
    }
    return true;
}

}  // namespace

std::string WriteFileAtomically(const std::filesystem::path& target, std::string_view content,
                                Placement placement) {
    const std::wstring& name = target.native();
    const std::string shown = FromWide(name);
    std::wstring temporary;
    FileHandle file = CreateTemporaryBeside(name, temporary);
    if (!file) {
        return "Cannot write in the folder of " + shown + ".";
    }
    const bool written = WriteAll(file.get(), content) && ::FlushFileBuffers(file.get());
    file.reset();
    // The temporary was hidden only while it was incomplete.
    ::SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
    const DWORD flags =
        MOVEFILE_WRITE_THROUGH | (placement == Placement::kReplace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (written && ::MoveFileExW(temporary.c_str(), name.c_str(), flags)) {
        return "";
    }
    const DWORD error = ::GetLastError();
    ::DeleteFileW(temporary.c_str());
    if (!written) {
        return "Cannot write " + shown + ".";
    }
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
        return shown + " already exists.";
    }
    return "Cannot put " + shown + " in place.";
}

}  // namespace tabrook::platform
