# Installation as a Linux desktop application, and the Debian package built from it.
#
#   cmake --install build --prefix ~/.local       (or /usr/local, the default)
#   cd build && cpack -G DEB                       (velmora_<version>-<release>_<arch>.deb)
#
# VELMORA_APP_ID (set beside the version) names the desktop entry, the icon and the
# AppStream component.

# The date of the release that project(VERSION) names: the AppStream release and the
# manual pages' footer carry it. Move it on with the version.
set(VELMORA_RELEASE_DATE 2026-12-10)

set(_data ${PROJECT_SOURCE_DIR}/data)
set(_generated ${PROJECT_BINARY_DIR}/data)

# The programs. The tests, benchmarks and the screenshot tool stay in the build tree.
install(TARGETS velmora velmora-cli vd840-sim
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Desktop entry and AppStream metadata.
install(FILES ${_data}/${VELMORA_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${_data}/${VELMORA_APP_ID}.metainfo.xml.in
  ${_generated}/${VELMORA_APP_ID}.metainfo.xml @ONLY)
install(FILES ${_generated}/${VELMORA_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Icons: the drawing itself, and renders of it for themes and toolkits that want pixels.
install(FILES ${_data}/icons/${VELMORA_APP_ID}.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${_data}/icons/hicolor/${size}x${size}/apps/${VELMORA_APP_ID}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# Manual pages, compressed as Debian ships them. A page kept as NAME.1.in gets the
# version and release date filled in; a plain NAME.1 goes out as written.
set(_man_pages)
foreach(program velmora velmora-cli vd840-sim)
  set(_page ${_generated}/man/${program}.1)
  if(EXISTS ${_data}/man/${program}.1.in)
    configure_file(${_data}/man/${program}.1.in ${_page} @ONLY)
  else()
    configure_file(${_data}/man/${program}.1 ${_page} COPYONLY)
  endif()
  add_custom_command(OUTPUT ${_page}.gz
    COMMAND gzip -9 -n -f -k ${_page}
    DEPENDS ${_page}
    COMMENT "Compressing the manual page ${program}.1"
    VERBATIM)
  list(APPEND _man_pages ${_page}.gz)
endforeach()
add_custom_target(velmora_man_pages ALL DEPENDS ${_man_pages})
install(FILES ${_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${_data}/completion/velmora-cli
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# The README and the pictures it shows.
set(VELMORA_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/velmora)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${VELMORA_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${VELMORA_DOCDIR}/docs
  FILES_MATCHING PATTERN "*.png")

# The Debian package.
set(VELMORA_PACKAGE_MAINTAINER "Velmora developers <velmora@velmora.org>"
  CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR Velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VELMORA_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "commissioning tool for the VD-840 servo drive")
set(CPACK_PACKAGE_DESCRIPTION
  "Velmora brings one VD-840 servo drive on line over RS-232C or RS-485,
shows its live status, I/O and alarms, reads and writes its parameters
with range checks and read-back, backs them up to a file and restores
them, jogs the motor, forces its inputs, tunes the drive with live charts
and saves a parameter report.
.
The package holds the desktop program velmora, the command-line program
velmora-cli and vd840-sim, a simulated drive served on a pseudo-terminal.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VELMORA_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The libraries the programs link come from dpkg-shlibdeps. What Qt loads at run time does
# not show there: on Debian the X11 platform plugin and the input context and image format
# plugins ship in libqt6gui6, which the programs link anyway (qt6-qpa-plugins holds only
# VNC and touch input), so nothing needs naming by hand; the package test holds Depends to
# the platform plugin's package. Running natively on Wayland takes qt6-wayland.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bash-completion, qt6-wayland")

set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/")
