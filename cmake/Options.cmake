# One options target that every project target links: the same warnings everywhere, and
# errors where TABROOK_WERROR asks for them (the tests' builds do).
add_library(tabrook_options INTERFACE)
target_compile_options(tabrook_options INTERFACE
    -Wall -Wextra -Wpedantic $<$<BOOL:${TABROOK_WERROR}>:-Werror>
    -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-align
    -Wformat=2 -Wimplicit-fallthrough -Wmissing-declarations -Wundef)
if(TABROOK_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "TABROOK_FUZZ needs clang (CC=clang CXX=clang++): libFuzzer is clang's")
    endif()
    include(CheckCXXSourceCompiles)
    set(CMAKE_REQUIRED_LINK_OPTIONS -fsanitize=fuzzer,address,undefined)
    set(CMAKE_REQUIRED_FLAGS -fsanitize=fuzzer,address,undefined)
    check_cxx_source_compiles(
        "#include <cstddef>\n#include <cstdint>\nextern \"C\" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }"
        TABROOK_HAVE_LIBFUZZER)
    unset(CMAKE_REQUIRED_LINK_OPTIONS)
    unset(CMAKE_REQUIRED_FLAGS)
    if(NOT TABROOK_HAVE_LIBFUZZER)
        message(FATAL_ERROR "clang cannot link libFuzzer with its sanitizers: install libclang-rt-14-dev")
    endif()
    # Libraries carry coverage hooks; only the targets link libFuzzer's main.
    target_compile_options(tabrook_options INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
        -fno-omit-frame-pointer)
    target_link_options(tabrook_options INTERFACE -fsanitize=address,undefined)
elseif(TABROOK_SANITIZE)
    target_compile_options(tabrook_options INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(tabrook_options INTERFACE -fsanitize=address,undefined)
endif()
