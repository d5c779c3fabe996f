# Installing the program as a desktop program (cmake --install) and its Debian package (cpack -G DEB):
# the binary, a menu entry, icons, the software-centre metadata, a manual page and the licence.
include(GNUInstallDirs)

# The program's name among desktop programs, and where people find it.
# No web site yet: neither the package nor the software-centre metadata names one (a screenshot
# there would need one too). The id is in lower case, as AppStream asks.
set(KAVARO_APP_ID "org.kavaro.kavaro")
set(KAVARO_MAINTAINER "The Kavaro developers <developers@kavaro.org>")
set(KAVARO_RELEASE_DATE "2026-12-08")
set(KAVARO_RELEASE_DATE_RFC2822 "Tue, 08 Dec 2026 12:00:00 +0000")

# An installed program recognises itself by this file, found relative to its own folder.
set(KAVARO_MARKER_DIR "${CMAKE_INSTALL_DATADIR}/kavaro")
file(RELATIVE_PATH kavaro_bin_to_data "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_DATADIR}")
target_compile_definitions(rt_frame PRIVATE KAVARO_INSTALL_MARKER="${kavaro_bin_to_data}/kavaro/installed")
# The preset swarms: installed under the data folder, read from the source tree by a program
# that is not installed (a build folder).
target_compile_definitions(rt_frame PRIVATE KAVARO_PRESETS_INSTALLED="${kavaro_bin_to_data}/kavaro/presets"
                                            KAVARO_PRESETS_SOURCE="${CMAKE_SOURCE_DIR}/presets")

if(NOT KAVARO_GUI)
  return()
endif()

set(pkg_src "${CMAKE_CURRENT_LIST_DIR}")
set(pkg_out "${CMAKE_BINARY_DIR}/packaging")
configure_file("${pkg_src}/kavaro.desktop.in" "${pkg_out}/${KAVARO_APP_ID}.desktop" @ONLY)
configure_file("${pkg_src}/kavaro.metainfo.xml.in" "${pkg_out}/${KAVARO_APP_ID}.metainfo.xml" @ONLY)
configure_file("${pkg_src}/kavaro.6" "${pkg_out}/kavaro.6" @ONLY)
configure_file("${pkg_src}/changelog.in" "${pkg_out}/changelog" @ONLY)
# Manual pages and changelogs are shipped compressed, reproducibly (no name, no time stamp).
foreach(f kavaro.6 changelog)
  execute_process(COMMAND gzip -9nf -k "${pkg_out}/${f}" RESULT_VARIABLE gz)
  if(gz)
    message(FATAL_ERROR "gzip ${f} failed")
  endif()
endforeach()

install(TARGETS kavaro RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
# A stripped program also loses the compilers' notes, as Debian's own stripping does.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/kavaro\" RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR \"objcopy failed on kavaro\")
    endif()
  endif()")
install(FILES "${pkg_src}/installed" DESTINATION "${KAVARO_MARKER_DIR}")
install(DIRECTORY "${CMAKE_SOURCE_DIR}/presets/" DESTINATION "${KAVARO_MARKER_DIR}/presets"
        FILES_MATCHING PATTERN "*.dat")
install(FILES "${pkg_out}/${KAVARO_APP_ID}.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${pkg_out}/${KAVARO_APP_ID}.metainfo.xml" DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
foreach(size ${KAVARO_ICON_SIZES})
  install(FILES "${pkg_src}/icons/kavaro-${size}.png"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps" RENAME "${KAVARO_APP_ID}.png")
endforeach()
install(FILES "${pkg_src}/icons/kavaro.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps" RENAME "${KAVARO_APP_ID}.svg")
install(FILES "${pkg_out}/kavaro.6.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man6")
install(FILES "${pkg_src}/copyright" "${pkg_out}/changelog.gz" DESTINATION "${CMAKE_INSTALL_DOCDIR}")

# The package holds only the program: making it (cpack, make install) builds no test or benchmark.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kavaro)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "The Kavaro developers")
set(CPACK_PACKAGE_CONTACT "${KAVARO_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "particle-interaction simulator: a swarm that chases and flees")
set(CPACK_PACKAGE_DESCRIPTION "Kavaro shows a swarm of coloured particles of up to ten species moving in a
3-D box. For every ordered pair of species a rule says whether the first
chases, flees or ignores the second. The view turns by itself or with the
mouse; a text panel steps the physics, a grid of cells edits the species and
their rules, and single keys give random rules and counts. The whole state is
kept in one text file in the user's data folder. The program's own texts are
Hungarian.")
set(CPACK_RESOURCE_FILE_LICENSE "${CMAKE_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Only the program: no test or benchmark has install rules, and the package has no components.
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}/package")
include(CPack)
