# The Debian package (scripts/package): what `cmake --install` puts under /usr, with the
# dependencies dpkg-shlibdeps finds for the libraries the program links.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmar)
set(CPACK_PACKAGE_VENDOR Korvath)
set(CPACK_PACKAGE_CONTACT "CE Velmar developers <velmar@ce-velmar.example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The first packaging of this version: 1.1-1, as debian/changelog says.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
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
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time (the libcurl FTP back end), so not found among the linked libraries.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcurl4")
# Not libraries: the browser for the manual and links, and the metric twin of Courier New.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-liberation2")
# The man page, and the package's copyright and changelog, compressed as Debian wants them
# (gzip -9n: no name or time in the header, so that the package builds the same each time).
set(pack_dir ${CMAKE_BINARY_DIR}/packaging)
set(pack_gz)
foreach(pair "src/res/man/velmar.1|velmar.1.gz" "cmake/debian/changelog|changelog.Debian.gz")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 source)
  list(GET pair 1 target)
  add_custom_command(OUTPUT ${pack_dir}/${target}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${pack_dir}
    COMMAND sh -c "gzip -9n -c \"$1\" >\"$2\"" sh ${CMAKE_SOURCE_DIR}/${source} ${pack_dir}/${target}
    DEPENDS ${CMAKE_SOURCE_DIR}/${source} VERBATIM)
  list(APPEND pack_gz ${pack_dir}/${target})
endforeach()
add_custom_target(velmar_pack_docs DEPENDS ${pack_gz})
add_dependencies(velmar velmar_pack_docs)
install(FILES ${pack_dir}/velmar.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${pack_dir}/changelog.Debian.gz ${CMAKE_SOURCE_DIR}/cmake/debian/copyright
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velmar)

# Packing installs what is built; it does not build the whole tree (tests, benchmarks)
# first. scripts/package builds the program, which brings its icons and manual.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)
