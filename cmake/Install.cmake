# cmake --install and cpack -G DEB: the programs in one folder of their own (the window
# finds help.chm beside itself, the server finds tabrook-finish beside the program that
# runs it), commands on the PATH, and the desktop entry, icon and manual page where a
# Linux desktop looks for them.
include(GNUInstallDirs)
# Packing installs what a build made; it does not build the tests and benchmarks first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(TABROOK_INSTALL_APPDIR ${CMAKE_INSTALL_LIBDIR}/tabrook)
install(TARGETS Tabrook tabrook-convert tabrook-finish
        RUNTIME DESTINATION ${TABROOK_INSTALL_APPDIR})
install(FILES ${CMAKE_BINARY_DIR}/bin/help.chm DESTINATION ${TABROOK_INSTALL_APPDIR} OPTIONAL)

# Relative links, so that the package installs anywhere its prefix is.
file(RELATIVE_PATH tabrook_bin_to_app /${CMAKE_INSTALL_BINDIR} /${TABROOK_INSTALL_APPDIR})
set(tabrook_links ${CMAKE_BINARY_DIR}/install-links)
file(MAKE_DIRECTORY ${tabrook_links})
file(CREATE_LINK ${tabrook_bin_to_app}/Tabrook ${tabrook_links}/tabrook SYMBOLIC)
file(CREATE_LINK ${tabrook_bin_to_app}/tabrook-convert ${tabrook_links}/tabrook-convert SYMBOLIC)
install(FILES ${tabrook_links}/tabrook ${tabrook_links}/tabrook-convert
        DESTINATION ${CMAKE_INSTALL_BINDIR})

# The installed entry starts the command on the PATH and names the themed icon.
set(TABROOK_EXEC tabrook)
set(TABROOK_ICON tabrook)
configure_file(${PROJECT_SOURCE_DIR}/resources/tabrook.desktop.in
               ${CMAKE_BINARY_DIR}/install-desktop/tabrook.desktop @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/install-desktop/tabrook.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/application.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME tabrook.svg)

# Manual pages and the changelog are installed compressed, without a time stamp (-n), so
# that builds agree.
find_program(TABROOK_GZIP gzip REQUIRED)
set(tabrook_compressed)
foreach(source tabrook.1 tabrook-convert.1 changelog)
    set(compressed ${CMAKE_BINARY_DIR}/install-docs/${source}.gz)
    add_custom_command(OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/install-docs
        COMMAND ${TABROOK_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/resources/${source} > ${compressed}
        DEPENDS ${PROJECT_SOURCE_DIR}/resources/${source}
        VERBATIM)
    list(APPEND tabrook_compressed ${compressed})
endforeach()
add_custom_target(tabrook_docs ALL DEPENDS ${tabrook_compressed})
install(FILES ${CMAKE_BINARY_DIR}/install-docs/tabrook.1.gz
              ${CMAKE_BINARY_DIR}/install-docs/tabrook-convert.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/install-docs/changelog.gz
              ${PROJECT_SOURCE_DIR}/resources/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tabrook)
install(FILES ${PROJECT_SOURCE_DIR}/resources/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME tabrook)

set(CPACK_PACKAGE_NAME tabrook)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_VENDOR "${TABROOK_COMPANY_NAME}")
set(CPACK_PACKAGE_CONTACT "${TABROOK_COMPANY_NAME} <${TABROOK_SUPPORT_EMAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert legacy .xls workbooks to .xlsx, .xlsm or .xlsb")
set(CPACK_PACKAGE_DESCRIPTION
    "Tabrook converts legacy Excel workbooks, a file, a folder or a whole\narchive at a time, through a private headless LibreOffice, and puts back\nwhat the engine loses: stored cell values, the original VBA project and\ncode names. It writes .xlsb files with its own writer. The window converts\nwhat a person picks; tabrook-convert converts archives from the command\nline with several offices at once, in shards over several machines, with\na JSON report of every change.")
set(CPACK_PACKAGE_HOMEPAGE_URL "${TABROOK_HOME_PAGE}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# What the programs need at run time on Debian 12, not what builds them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6 (>= 2.36), libstdc++6 (>= 12), libgcc-s1, libreoffice-calc-nogui (>= 4:7.4) | libreoffice-calc (>= 4:7.4), libreoffice-core-nogui (>= 4:7.4) | libreoffice-core (>= 4:7.4), libuno-cppu3, libuno-sal3, libuno-cppuhelpergcc3-3, libuno-salhelpergcc3-3, libqt6core6, libqt6gui6, libqt6widgets6, libqt6svg6, libqt6printsupport6, qt6-qpa-plugins, libzip4, libexpat1, libpugixml1v5, libgsf-1-114, libglib2.0-0, xdg-utils, xchm")
include(CPack)
