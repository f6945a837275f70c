# The time every packaged file carries: SOURCE_DATE_EPOCH when it is set, otherwise the time
# of the commit checked out, so that one commit gives the same bytes whenever it is packaged.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
else()
  execute_process(COMMAND git -C "${CPACK_USB_FLASH_DETECT_SOURCE_DIR}" log -1 --format=%ct
    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "no commit time: set SOURCE_DATE_EPOCH to package outside a git checkout")
  endif()
endif()
