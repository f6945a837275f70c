# Run by CPack after it has written an archive or the Debian package. An archive's staged
# binary is stripped and the archive written again by packaging/write_archive.py, so that one
# commit gives the same bytes whoever packages it, whenever and wherever: CPack's own
# archives carry the packaging time, the packager's user and the file system's order.
# Every entry takes the time source_date_epoch.cmake gives. Then SHA256SUMS in the output
# folder lists every archive and package of this version there, in name order, as
# sha256sum checks it.
include(${CMAKE_CURRENT_LIST_DIR}/source_date_epoch.cmake)
list(GET CPACK_PACKAGE_FILES 0 archive)

# An archive's staged binary is stripped and the archive written again by write_archive.py.
function(rewrite_archive)
  find_package(Python3 COMPONENTS Interpreter)
  if(NOT Python3_Interpreter_FOUND)
    message(FATAL_ERROR "a release archive needs Python 3 to write it")
  endif()
  # Stripping a Windows executable stamps it with the time, or with SOURCE_DATE_EPOCH: 0,
  # as the linker leaves it, is no time.
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
  execute_process(COMMAND "${Python3_EXECUTABLE}"
      "${CPACK_USB_FLASH_DETECT_SOURCE_DIR}/packaging/write_archive.py"
      "${CPACK_TEMPORARY_DIRECTORY}" "${archive}" "${epoch}"
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "write_archive.py failed: ${result}")
  endif()
endfunction()

# The Debian package is stripped by CPack and dated by SOURCE_DATE_EPOCH
# (deb_generator.cmake): only its line in SHA256SUMS is written here.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  rewrite_archive()
endif()

# CPack copies the archive to the output folder after this script, so its own line comes
# from here and the others from the archives already there.
get_filename_component(name "${archive}" NAME)
set(output "${CPACK_PACKAGE_DIRECTORY}")
file(GLOB archives RELATIVE "${output}"
  "${output}/${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-*.zip"
  "${output}/${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-*.tar.gz"
  "${output}/${CPACK_PACKAGE_NAME}_${CPACK_PACKAGE_VERSION}_*.deb")
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
