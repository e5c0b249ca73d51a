# What `cmake --install` puts besides the programs, and the Debian package
# built from it (`make package`, or `cpack -G DEB` in a build directory).
# Include from the top CMakeLists.txt after the programs' directories: the
# desktop entry and the icons go in only with the desktop program.

include(GNUInstallDirs)

# Source paths; set them before the include to override.
if(NOT DEFINED KORVATH_DESKTOP_FILE)
  set(KORVATH_DESKTOP_FILE "${PROJECT_SOURCE_DIR}/resources/korvath.desktop")
endif()
if(NOT DEFINED KORVATH_ICON_DIR)  # holds icon16.xpm and icon32.xpm
  set(KORVATH_ICON_DIR "${PROJECT_SOURCE_DIR}/gui/about/resources")
endif()
if(NOT DEFINED KORVATH_MAN_PAGE)
  set(KORVATH_MAN_PAGE "${PROJECT_SOURCE_DIR}/resources/korvath-tree.1")
endif()

set(KORVATH_PACKAGE_MAINTAINER "Korvath developers <korvath@example.org>"
    CACHE STRING "Maintainer field of the Debian package")
set(KORVATH_PACKAGE_HOMEPAGE "" CACHE STRING "Homepage field of the Debian package (optional)")

# A moved folder should stop the configure step, not leave a package without its icons.
foreach(file IN ITEMS "${KORVATH_MAN_PAGE}" "${KORVATH_DESKTOP_FILE}"
                      "${KORVATH_ICON_DIR}/icon16.xpm" "${KORVATH_ICON_DIR}/icon32.xpm")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "KorvathPackaging: ${file} not found")
  endif()
endforeach()

if(TARGET korvath)
  install(FILES "${KORVATH_DESKTOP_FILE}" DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  foreach(size IN ITEMS 16 32)
    install(FILES "${KORVATH_ICON_DIR}/icon${size}.xpm"
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME korvath.xpm)
  endforeach()
endif()

if(NOT DEFINED KORVATH_LSP_MAN_PAGE)
  set(KORVATH_LSP_MAN_PAGE "${PROJECT_SOURCE_DIR}/resources/korvath-lsp.1")
endif()
set(korvath_man_pages "${KORVATH_MAN_PAGE}")
if(TARGET korvath-lsp)
  list(APPEND korvath_man_pages "${KORVATH_LSP_MAN_PAGE}")
endif()

if(UNIX)
  # gzip -n leaves out the name and time stamp, so the package is reproducible.
  find_program(KORVATH_GZIP gzip)
  set(man_outputs)
  foreach(page IN LISTS korvath_man_pages)
    get_filename_component(page_name "${page}" NAME)
    if(KORVATH_GZIP)
      set(man_copy "${CMAKE_CURRENT_BINARY_DIR}/man/${page_name}")
      add_custom_command(
        OUTPUT "${man_copy}.gz"
        COMMAND "${CMAKE_COMMAND}" -E copy "${page}" "${man_copy}"
        COMMAND "${KORVATH_GZIP}" -9nf "${man_copy}"
        DEPENDS "${page}"
        COMMENT "Compressing the manual page ${page_name}"
        VERBATIM)
      list(APPEND man_outputs "${man_copy}.gz")
      install(FILES "${man_copy}.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    else()
      install(FILES "${page}" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
  endforeach()
  if(man_outputs)
    add_custom_target(korvath_man_page ALL DEPENDS ${man_outputs})
  endif()
endif()

set(CPACK_PACKAGE_NAME korvath)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "${KORVATH_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "call tree viewer for MATLAB code")
set(CPACK_PACKAGE_DESCRIPTION
"Korvath shows the call tree of a MATLAB program: it reads MATLAB's search
path from pathdef.m, follows every name a .m file uses to the file that
defines it and lays out the whole tree, each node with the line numbers of
its calls.

This package holds the desktop program korvath, the command-line tool
korvath-tree, which prints the tree as text, JSON or Graphviz DOT, and the
language server korvath-lsp, which answers call hierarchy, definitions and
references in editors.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # korvath_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KORVATH_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
if(KORVATH_PACKAGE_HOMEPAGE)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KORVATH_PACKAGE_HOMEPAGE}")
endif()
# Read by cpack itself: refuses a Debian package whose dependencies it cannot compute.
set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_CURRENT_LIST_DIR}/KorvathCPackChecks.cmake")

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(CPACK_GENERATOR DEB)
else()
  set(CPACK_GENERATOR TGZ)
endif()
include(CPack)
