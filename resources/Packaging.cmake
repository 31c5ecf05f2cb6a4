# The Debian package: `make package` (cpack -G DEB). Its dependencies on
# shared libraries are found by dpkg-shlibdeps; only what no tool can see is
# named here: Qt's SQLite driver, a plugin the program loads by name.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnvue)
set(CPACK_PACKAGE_VENDOR Norvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "chart the response time and packet loss of a network node")
set(CPACK_PACKAGE_DESCRIPTION
    "Tarnvue charts the ping history that the Pollwatch poller stores in its monitor database, one node at a time: minimum, maximum and average response time and packet loss over a period, with more or less detail, zoom, a data table, chart files, printing and export. tarnvue-render writes the same charts without a window.")
set(CPACK_PACKAGE_CONTACT "Norvane <support@norvane.com>")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
# Files are staged under DESTDIR, so the program folder outside the prefix
# lands in the package and not on the building machine.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.norvane.com)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libpq is loaded only when a PostgreSQL database is opened, so the package
# names it itself: the dependency scan sees only what is linked.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, libpq5")
include(CPack)
