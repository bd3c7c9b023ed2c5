// shellapi.h needs windows.h before it.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include "platform/program_arguments.h"
#include "platform/windows_text.h"

namespace tabrook::platform {

std::vector<std::string> ProgramArguments(int, char**) {
    ::SetConsoleOutputCP(CP_UTF8);
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide != nullptr && i < count; ++i) {
        arguments.push_back(FromWide(wide[i]));
    }
    ::LocalFree(wide);
    return arguments;
}

}  // namespace tabrook::platform
