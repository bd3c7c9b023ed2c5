# The libraries the file-format readers and writers need; the fuzz build takes only these.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
pkg_check_modules(EXPAT REQUIRED IMPORTED_TARGET expat)
pkg_check_modules(PUGIXML REQUIRED IMPORTED_TARGET pugixml)
pkg_check_modules(GSF REQUIRED IMPORTED_TARGET libgsf-1)
find_package(ZLIB REQUIRED)
