# The Debian package (scripts/package): what `cmake --install` puts under /usr, with the
# dependencies dpkg-shlibdeps finds for the libraries the program links.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmar)
set(CPACK_PACKAGE_VENDOR Korvath)
set(CPACK_PACKAGE_CONTACT "CE Velmar developers <velmar@ce-velmar.example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "two-pane file manager with FTP, hex editor, telnet and network tools")
set(CPACK_PACKAGE_DESCRIPTION
"CE Velmar shows two local or FTP folders side by side; its commands copy, move,
delete, rename, search and inspect what is selected in them. It carries a hex
viewer and editor, a telnet terminal, ping, whois and finger, a task manager, a
system information view and the Lines game.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://ce-velmar.example.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time (the libcurl FTP back end), so not found among the linked libraries.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcurl4")
# Not libraries: the browser for the manual and links, and the metric twin of Courier New.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-liberation2")
# Packing installs what is built; it does not build the whole tree (tests, benchmarks)
# first. scripts/package builds the program, which brings its icons and manual.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)
