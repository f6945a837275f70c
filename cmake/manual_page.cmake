# The tool's manual page, usb-flash-detect(1), compressed as Debian installs manual pages
# (gzip -9n: no name, no time, so the same bytes every time) and installed with the tool.
find_program(USB_FLASH_DETECT_GZIP gzip REQUIRED)
configure_file(${PROJECT_SOURCE_DIR}/packaging/usb-flash-detect.1
  ${PROJECT_BINARY_DIR}/packaging/usb-flash-detect.1 @ONLY)
execute_process(COMMAND ${USB_FLASH_DETECT_GZIP} -9n -c ${PROJECT_BINARY_DIR}/packaging/usb-flash-detect.1
  OUTPUT_FILE ${PROJECT_BINARY_DIR}/packaging/usb-flash-detect.1.gz COMMAND_ERROR_IS_FATAL ANY)
include(GNUInstallDirs)
install(FILES ${PROJECT_BINARY_DIR}/packaging/usb-flash-detect.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT usb-flash-detect)
