# The Debian package (`cpack --preset release` makes it beside the archive):
# usb-flash-detect_<version>_<arch>.deb with the tool in /usr/bin, its manual page, the
# README, the changelog and the copyright file Debian asks for, the latter in its
# machine-readable format. Its
# Depends come from the binary (dpkg-shlibdeps); deb_generator.cmake strips it and dates it.
include(GNUInstallDirs)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_VENDOR} <usb-flash-detect@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "report the USB flash drivers installed on a Windows system
usb-flash-detect reads the driver information (INF) files of a Windows system,
in a Wine prefix or a mounted Windows installation, and reports the installed
USB flash driver packages for the devices USB\\VID_0BDB&PID_100E and
USB\\VID_0FCE&PID_ADDE: the file, the provider, the device description and the
driver version. It changes nothing.")
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
  GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# debian/copyright's format: the licence's text after its title and copyright line, each
# line indented by one blank and each empty one written as " .".
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)\n\n" _ "${licence}")
set(holder "${CMAKE_MATCH_1}")
string(FIND "${licence}" "${CMAKE_MATCH_0}" at)
string(LENGTH "${CMAKE_MATCH_0}" length)
math(EXPR at "${at} + ${length}")
string(SUBSTRING "${licence}" ${at} -1 terms)
string(REGEX REPLACE "\n+$" "" terms "${terms}")
string(REPLACE "\n\n" "\n.\n" terms "${terms}")
string(REPLACE "\n" "\n " terms " ${terms}")
file(WRITE ${PROJECT_BINARY_DIR}/packaging/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: usb-flash-detect

Files: *
Copyright: ${holder}
License: Expat
${terms}
")
# The changelog a native package carries is written when the package is made
# (deb_generator.cmake), dated as the package.
install(FILES ${PROJECT_BINARY_DIR}/packaging/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/usb-flash-detect COMPONENT debian
  EXCLUDE_FROM_ALL)

set(CPACK_USB_FLASH_DETECT_BINARY_DIR ${PROJECT_BINARY_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/deb_generator.cmake)
