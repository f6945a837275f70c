# Read by CPack before each generator runs. The Debian package takes the Debian files
# beside the tool's, a stripped binary, and the commit's time (or SOURCE_DATE_EPOCH) for
# every entry and its changelog, which CPack's DEB generator and string(TIMESTAMP) read
# from the environment.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_INSTALL_CMAKE_PROJECTS
    "${CPACK_USB_FLASH_DETECT_BINARY_DIR};usb_flash_detect;usb-flash-detect;/"
    "${CPACK_USB_FLASH_DETECT_BINARY_DIR};usb_flash_detect;debian;/")
  set(CPACK_STRIP_FILES TRUE)
  include(${CMAKE_CURRENT_LIST_DIR}/source_date_epoch.cmake)
  set(ENV{SOURCE_DATE_EPOCH} "${epoch}")

  # A native package's changelog: one entry, for this version, dated as the package.
  string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
  set(changelog "${CPACK_USB_FLASH_DETECT_BINARY_DIR}/packaging/changelog")
  file(WRITE "${changelog}" "${CPACK_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium

  * Release ${CPACK_PACKAGE_VERSION}.

 -- ${CPACK_DEBIAN_PACKAGE_MAINTAINER}  ${date}
")
  execute_process(COMMAND gzip -9n -c "${changelog}" OUTPUT_FILE "${changelog}.gz"
    COMMAND_ERROR_IS_FATAL ANY)
endif()
