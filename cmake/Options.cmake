# One options target that every project target links: warnings are errors everywhere.
add_library(tabrook_options INTERFACE)
target_compile_options(tabrook_options INTERFACE
    -Wall -Wextra -Wpedantic -Werror
    -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-align
    -Wformat=2 -Wimplicit-fallthrough -Wmissing-declarations -Wundef)
if(TABROOK_SANITIZE)
    target_compile_options(tabrook_options INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(tabrook_options INTERFACE -fsanitize=address,undefined)
endif()
