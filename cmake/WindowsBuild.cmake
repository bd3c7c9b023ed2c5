# What Windows needs below the window: the conversion logic with COM automation and the Win32
# file system, tabrook-convert.exe, and the tests that run them under Wine against a COM
# server of our own. The window itself needs a Qt for Windows (see the README).
option(TABROOK_WINDOWS_TESTS "Build the tests that run under Wine (needs GoogleTest's sources)" ON)

# Wide (UTF-16) Win32 calls throughout; Windows 7 is the oldest system the calls need.
target_compile_definitions(tabrook_options INTERFACE
    UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
# GCC 12 warns falsely of overlapping copies inside libstdc++'s string concatenation when it
# inlines it (GCC bug 105329); the Linux build's compiler does not inline the same way.
target_compile_options(tabrook_options INTERFACE -Wno-restrict)
# The programs and their tests share one folder, so the tests start the programs beside them.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
add_subdirectory(src/platform)
add_subdirectory(src/convert)
add_subdirectory(src/calcserver/report)
add_subdirectory(src/cli)

if(TABROOK_BUILD_TESTS AND TABROOK_WINDOWS_TESTS)
    enable_testing()
    add_subdirectory(tests/windows)
endif()
