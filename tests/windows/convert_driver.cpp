// Converts one workbook from the command line the way the window does, for the Wine tests
// until the command-line converter ships for Windows (test-only, never installed):
//   convert_driver FORMAT_INDEX SOURCE OUTPUT_FOLDER
// The target is OUTPUT_FOLDER\ plus the source's base name, made free by the name-collision
// step. Prints what became of it and exits with the conversion's result code.
// shellapi.h needs windows.h before it.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <cstdio>
#include <string>
#include <vector>

#include "convert/format_table.h"
#include "convert/name_collision.h"
#include "convert/workbook_conversion.h"
#include "platform/automation.h"
#include "platform/windows_file_system.h"
#include "platform/windows_text.h"

namespace {

constexpr int kUsageError = 64;

void Print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::vector<std::string> Arguments() {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; wide != nullptr && i < count; ++i) {
        arguments.push_back(tabrook::platform::FromWide(wide[i]));
    }
    ::LocalFree(wide);
    return arguments;
}

}  // namespace

int main() {
    using namespace tabrook;
    const std::vector<std::string> arguments = Arguments();
    if (arguments.size() != 4) {
        Print("usage: convert_driver FORMAT_INDEX SOURCE OUTPUT_FOLDER");
        return kUsageError;
    }
    const int listIndex = std::stoi(arguments[1]);
    const std::string& source = arguments[2];
    const std::size_t nameStart = source.find_last_of("\\/") + 1;
    const std::string name = source.substr(nameStart);
    const std::string baseName = name.substr(0, name.rfind('.'));

    platform::WindowsFileSystem fileSystem;
    platform::AutomationRegistry automation;
    const std::string_view extension = convert::FormatForListIndex(listIndex).extension;
    const std::string target =
        convert::FreeTargetPath(fileSystem, arguments[3] + "\\" + baseName, extension);
    const convert::ConvertResult result = convert::ConvertWorkbookFile(
        automation, source, target, listIndex,
        [](const std::string& description) { Print("server: " + description); });
    const int code = static_cast<int>(result);
    Print("result " + std::to_string(code) + ": " + target + std::string(extension));
    return code;
}
