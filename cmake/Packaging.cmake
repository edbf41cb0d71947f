# Packages, built with cpack in a build tree (scripts/package.sh does it all):
#   Linux:   a Debian package of vek: /usr/bin/vek, its man page (from
#            packaging/vek.1.scd by scdoc), the user's guides and the sample systemd
#            units and crontab line under /usr/share/doc/vek.
#   Windows: a zip of the programs (vek.exe, vekc.exe) with a README and the
#            user's guides.
set(CPACK_PACKAGE_NAME vek)
set(CPACK_PACKAGE_VENDOR "VEK developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "update checker for the watched threads of a Japanese text board browser")
set(CPACK_STRIP_FILES ON)
set(VEK_GUIDES ${CMAKE_SOURCE_DIR}/docs/guide.en.md ${CMAKE_SOURCE_DIR}/docs/guide.ja.md)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME vek-${PROJECT_VERSION}-windows)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  foreach(program vek vek_gui)
    if(TARGET ${program})
      install(TARGETS ${program} RUNTIME DESTINATION .)
    endif()
  endforeach()
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/README-windows.txt DESTINATION . RENAME README.txt)
  install(FILES ${VEK_GUIDES} DESTINATION docs)
  include(CPack)
  return()
endif()

if(NOT TARGET vek)
  return()
endif()
include(GNUInstallDirs)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(VEK_MAINTAINER "VEK developers <vek@example.org>" CACHE STRING "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VEK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# libcurl, zlib and the C++ runtime as dpkg-shlibdeps finds them in the binary.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The synopsis is CPACK_PACKAGE_DESCRIPTION_SUMMARY; cpack indents these lines.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "VEK reads the thread list files of a desktop browser for Japanese text\n"
    "bulletin boards, downloads each watched board's thread list once, writes\n"
    "the response counts on the server into the browser's own index files and\n"
    "publishes two report boards in its log tree: the threads that fell from\n"
    "their boards and the threads created since the last check. It keeps a\n"
    "pause between checks so that the board servers are not asked too often.\n"
    "\n"
    "This package holds the headless command for scheduled checks, with\n"
    "sample systemd user units and a crontab line.")

install(TARGETS vek RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The man page from its own source by scdoc, compressed as Debian wants it
# (gzip -9n). Without scdoc it is left out.
find_program(SCDOC scdoc)
if(SCDOC)
  set(VEK_MAN ${CMAKE_BINARY_DIR}/vek.1.gz)
  add_custom_command(
    OUTPUT ${VEK_MAN}
    COMMAND ${CMAKE_COMMAND} -DSCDOC=${SCDOC} -DSOURCE=${CMAKE_SOURCE_DIR}/packaging/vek.1.scd
            -DVERSION=${PROJECT_VERSION} -DOUTPUT=${CMAKE_BINARY_DIR}/vek.1 -P ${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake
    COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/vek.1
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/vek.1.scd ${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake
    COMMENT "Man page of vek"
    VERBATIM)
  add_custom_target(vek_man ALL DEPENDS ${VEK_MAN})
  install(FILES ${VEK_MAN} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(STATUS "scdoc not found (Debian package scdoc): the man page is not built")
endif()

set(VEK_DOC ${CMAKE_INSTALL_DATAROOTDIR}/doc/vek)
install(FILES ${VEK_GUIDES} ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION ${VEK_DOC})
# Debian wants the changelog compressed (a native package: changelog.gz).
set(VEK_CHANGELOG ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_command(
  OUTPUT ${VEK_CHANGELOG}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/packaging/changelog ${CMAKE_BINARY_DIR}/changelog
  COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/changelog
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(vek_changelog ALL DEPENDS ${VEK_CHANGELOG})
install(FILES ${VEK_CHANGELOG} DESTINATION ${VEK_DOC})
install(FILES ${CMAKE_SOURCE_DIR}/contrib/systemd/vek-check.service ${CMAKE_SOURCE_DIR}/contrib/systemd/vek-check.timer
              ${CMAKE_SOURCE_DIR}/contrib/cron/vek.crontab
        DESTINATION ${VEK_DOC}/examples)
include(CPack)
