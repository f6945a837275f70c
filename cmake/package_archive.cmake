# Run by CPack after it has written an archive. The staged binary is stripped and the
# archive written again from the staged files by packaging/write_archive.py, so that one
# commit gives the same bytes whoever packages it, whenever and wherever: CPack's own
# archives carry the packaging time, the packager's user and the file system's order.
# Every entry takes SOURCE_DATE_EPOCH when it is set, otherwise the time of the commit
# checked out. Then SHA256SUMS in the output folder lists every archive of this version
# there, in name order, as sha256sum checks it.
find_package(Python3 COMPONENTS Interpreter)
if(NOT Python3_Interpreter_FOUND)
  message(FATAL_ERROR "a release archive needs Python 3 to write it")
endif()

if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
else()
  execute_process(COMMAND git -C "${CPACK_USB_FLASH_DETECT_SOURCE_DIR}" log -1 --format=%ct
    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "no commit time: set SOURCE_DATE_EPOCH to package outside a git checkout")
  endif()
endif()

# Stripping a Windows executable stamps it with the time, or with SOURCE_DATE_EPOCH: 0, as
# the linker leaves it, is no time.
file(GLOB_RECURSE binaries "${CPACK_TEMPORARY_DIRECTORY}/*/usb-flash-detect"
  "${CPACK_TEMPORARY_DIRECTORY}/usb-flash-detect.exe")
if(NOT binaries)
  message(FATAL_ERROR "no usb-flash-detect among the staged files")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E env SOURCE_DATE_EPOCH=0
    "${CPACK_USB_FLASH_DETECT_STRIP}" ${binaries} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "stripping ${binaries} failed: ${result}")
endif()

list(GET CPACK_PACKAGE_FILES 0 archive)
execute_process(COMMAND "${Python3_EXECUTABLE}"
    "${CPACK_USB_FLASH_DETECT_SOURCE_DIR}/packaging/write_archive.py"
    "${CPACK_TEMPORARY_DIRECTORY}" "${archive}" "${epoch}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "write_archive.py failed: ${result}")
endif()

# CPack copies the archive to the output folder after this script, so its own line comes
# from here and the others from the archives already there.
get_filename_component(name "${archive}" NAME)
set(output "${CPACK_PACKAGE_DIRECTORY}")
file(GLOB archives RELATIVE "${output}"
  "${output}/${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-*.zip"
  "${output}/${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-*.tar.gz")
list(APPEND archives "${name}")
list(REMOVE_DUPLICATES archives)
list(SORT archives)
set(sums "")
foreach(listed IN LISTS archives)
  if(listed STREQUAL name)
    file(SHA256 "${archive}" sum)
  else()
    file(SHA256 "${output}/${listed}" sum)
  endif()
  string(APPEND sums "${sum}  ${listed}\n")
endforeach()
file(WRITE "${output}/SHA256SUMS" "${sums}")
