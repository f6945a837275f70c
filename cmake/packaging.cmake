# Release archives of the tool alone (`cpack --preset release`, `windows` or `windows-x86`):
# the stripped executable, its documents and the licence, named for the system and the
# architecture they run on, with the same bytes for the same commit. The matcher's library
# files stay out.
# Values reach CPack as written (the description holds backslashes).
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME usb-flash-detect)
set(CPACK_PACKAGE_VENDOR "The usb-flash-detect authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

string(TOLOWER "${CMAKE_SYSTEM_NAME}" PACKAGE_SYSTEM)
string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" PACKAGE_PROCESSOR)
if(PACKAGE_PROCESSOR MATCHES "^(x86_64|amd64|x64)$")
  set(PACKAGE_PROCESSOR x86_64)
elseif(PACKAGE_PROCESSOR MATCHES "^(x86|i[3-6]86)$")
  set(PACKAGE_PROCESSOR x86)
endif()
set(CPACK_PACKAGE_FILE_NAME
  "${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${PACKAGE_SYSTEM}-${PACKAGE_PROCESSOR}")

# One archive holding the tool's component only.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};usb-flash-detect;/")
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ DEB)
endif()

# The staged binary is stripped, the archive written again with fixed times, order and
# owners, and SHA256SUMS beside the archives lists it.
set(CPACK_USB_FLASH_DETECT_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_USB_FLASH_DETECT_STRIP ${CMAKE_STRIP})
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package_archive.cmake)
if(NOT WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/deb_package.cmake)
endif()
include(CPack)
