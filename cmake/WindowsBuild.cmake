# What Windows needs below the window: the conversion logic with COM automation and the Win32
# file system, and the tests that run it under Wine against a COM server of our own. The
# window itself needs a Qt for Windows (see the README).
option(TABROOK_WINDOWS_TESTS "Build the tests that run under Wine (needs GoogleTest's sources)" ON)

tabrook_add_core_library()
# Wide (UTF-16) Win32 calls throughout; Windows 7 is the oldest system the calls need.
target_compile_definitions(tabrook_core PUBLIC
    UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
add_subdirectory(src/platform)
add_subdirectory(src/app)
add_subdirectory(src/convert)

if(TABROOK_WINDOWS_TESTS)
    enable_testing()
    add_subdirectory(tests/windows)
endif()
