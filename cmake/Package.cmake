# The Debian package (scripts/package-deb runs CPack with this configuration): the three programs, the menu
# entry with the vantri: link scheme, the icons and the metainfo under /usr, with the Debian copyright file
# and changelog. Debian's triggers (desktop-file-utils, hicolor-icon-theme) register the menu entry, the
# scheme and the icons, so the package has no maintainer scripts.

# Debian's documentation files: the copyright as it is, the changelog compressed as Debian wants it
# (gzip -9n: no name, no time).
set(doc ${CMAKE_INSTALL_DATADIR}/doc/vantri)
string(TIMESTAMP VANTRI_CHANGELOG_DATE "%a, %d %b %Y 00:00:00 +0000" UTC)
configure_file(packaging/debian/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
find_program(GZIP_PROGRAM gzip REQUIRED)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND ${GZIP_PROGRAM} -9nkf ${CMAKE_BINARY_DIR}/packaging/changelog
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(vantri_package_docs ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES packaging/debian/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION ${doc})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantri)
set(CPACK_PACKAGE_VERSION ${VANTRI_VERSION})
set(CPACK_PACKAGE_VENDOR "The Vantri makers")
set(CPACK_PACKAGE_CONTACT "The Vantri makers <makers@vantri.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "player for archived live radio shows with their chat")
# The extended description in lines of Debian's width.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Vantri lists the stations of a radio archive and their recorded shows, and"
  "plays any show from any moment. The track list follows the music, and the"
  "listeners' chat of the original broadcast appears line by line as the show"
  "reaches the second it was written. Links of the vantri: scheme open a"
  "station, a show or a moment in it."
  ""
  "The package also holds vantri-console, the terminal front end, and"
  "vantri-station, the server of a show archive.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The build tree's own helpers (tests, benchmarks) install nothing; only what the install rules name goes in.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Vantri;ALL;/")
include(CPack)
