# The Debian package, made by CPack from the built tree:
#   cpack --config <build>/CPackConfig.cmake -B <output folder>
# gives tovrane_<version>_<arch>.deb. It holds the install component "deb"
# alone (packaging/CMakeLists.txt), in /usr; its dependencies are found by
# dpkg-shlibdeps from the libraries the binaries link.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tovrane)
set(CPACK_PACKAGE_VERSION ${tovrane_VERSION})
set(CPACK_PACKAGE_VENDOR "Kestrelle Software")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "write AviSynth scripts for many clips from one template")
set(CPACK_PACKAGE_DESCRIPTION
    "Tovrane is a desktop program that writes AviSynth scripts in batch from a\n"
    "script template in which placeholders stand for a clip's name, extension and\n"
    "folder. It scans folders recursively for clips, lists them with check boxes,\n"
    "and writes one script per checked clip, or one numbered batch script for all\n"
    "of them. Its template editor colours placeholders, filter names and comments\n"
    "and completes filter names.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_CONTACT "Kestrelle Software <tovrane@kestrelle.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};tovrane;deb;/")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TOVRANE_PAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The maintainer scripts register the update check for every user.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/packaging/deb/postinst
    ${CMAKE_SOURCE_DIR}/packaging/deb/prerm
    ${CMAKE_SOURCE_DIR}/packaging/deb/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
