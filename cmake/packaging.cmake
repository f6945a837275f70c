# Release archives of the tool alone (`cpack --preset default` or `--preset windows`): the
# executable, the README and the licence; the matcher's library files stay out.
set(CPACK_PACKAGE_NAME usb-flash-detect)
set(CPACK_PACKAGE_VENDOR "The usb-flash-detect authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# One archive holding the tool's component only.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};usb-flash-detect;/")
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ)
endif()
include(CPack)
