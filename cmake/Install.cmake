# What `cmake --install` puts under the prefix (honouring DESTDIR), and the Debian package made
# from the same rules by `make package`. Nothing is written outside the prefix: the desktop's
# caches (MIME database, icon cache) are refreshed by the package's triggers, or by
# `make install` for a prefix on this machine.

include(GNUInstallDirs)

set(FLUVEX_SUMMARY "ADCP survey viewer and post-processor")
set(FLUVEX_MAINTAINER "Fluvex maintainers <maintainers@fluvex.example>")
# The project has not chosen a licence yet; the package says so rather than claim one.
set(FLUVEX_LICENSE "all-rights-reserved")

set(fluvex_programs fluvex-cli fluvex-synth)
if(FLUVEX_BUILD_VIEWS)
  list(APPEND fluvex_programs fluvex)
endif()
install(TARGETS ${fluvex_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The programs carry the magnetic model and the help inside; the copies here are for people and
# for other tools (a newer model is installed by copying it over WMM.COF in the settings folder).
set(FLUVEX_SHARE_DIR ${CMAKE_INSTALL_DATADIR}/fluvex)
install(FILES ${PROJECT_SOURCE_DIR}/resources/WMM2025.COF DESTINATION ${FLUVEX_SHARE_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/help DESTINATION ${FLUVEX_SHARE_DIR})

configure_file(${PROJECT_SOURCE_DIR}/resources/packaging/copyright.in
               ${PROJECT_BINARY_DIR}/packaging/copyright @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/fluvex)

# Manual pages, made from each program's --help text and a template holding the rest.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(fluvex_man_pages)
function(fluvex_man_page program)
  set(template ${PROJECT_SOURCE_DIR}/docs/man/${program}.1.in)
  set(page ${PROJECT_BINARY_DIR}/man/${program}.1)
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/cmake/HelpToManPage.py
            $<TARGET_FILE:${program}> ${template} ${page} ${PROJECT_VERSION}
    DEPENDS ${program} ${template} ${PROJECT_SOURCE_DIR}/cmake/HelpToManPage.py
    COMMENT "Writing the manual page ${program}.1"
    VERBATIM)
  set(fluvex_man_pages ${fluvex_man_pages} ${page} PARENT_SCOPE)
endfunction()
fluvex_man_page(fluvex-cli)
if(FLUVEX_BUILD_VIEWS)
  fluvex_man_page(fluvex)
endif()
add_custom_target(fluvex_man_pages ALL DEPENDS ${fluvex_man_pages})
install(FILES ${fluvex_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Desktop integration: the menu entry, the icon and the survey file types.
if(FLUVEX_BUILD_VIEWS)
  set(desktop ${PROJECT_SOURCE_DIR}/resources/desktop)
  install(FILES ${desktop}/fluvex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${desktop}/fluvex.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
  install(FILES ${desktop}/fluvex.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  # The bitmap sizes are drawn from the SVG, so there is one picture to change.
  find_program(RSVG_CONVERT rsvg-convert REQUIRED)
  set(icons)
  foreach(size 48 256)
    set(png ${PROJECT_BINARY_DIR}/icons/${size}x${size}/fluvex.png)
    add_custom_command(
      OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/icons/${size}x${size}
      COMMAND ${RSVG_CONVERT} --width ${size} --height ${size} --output ${png}
              ${desktop}/fluvex.svg
      DEPENDS ${desktop}/fluvex.svg
      COMMENT "Drawing the ${size} px icon"
      VERBATIM)
    list(APPEND icons ${png})
    install(FILES ${png}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(fluvex_icons ALL DEPENDS ${icons})
endif()

# The Debian package: `make package` (cpack -G DEB in the build folder).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME fluvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Fluvex")
set(CPACK_PACKAGE_CONTACT "${FLUVEX_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${FLUVEX_SUMMARY}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${FLUVEX_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Fluvex reads moving-boat ADCP surveys (PD0 files, line logs of the survey suite, SonTek
exports), turns the recorded velocities into earth-referenced water velocities and shows them
in a main window with a velocity section, plan view, information panel, charts and discharge
table. fluvex-cli gives batch access: summaries, discharge reports and CSV, XYZ and workbook
exports. Licence: ${FLUVEX_LICENSE}.")
# Dependencies are the packages of the shared libraries the programs link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils, hicolor-icon-theme")
include(CPack)
