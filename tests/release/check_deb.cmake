# Opens the Debian package as a user of it would: its files in this order, Depends that
# dpkg-shlibdeps computed, a manual page man reads without a warning, and the program run
# on the example Windows directory.
#
#   cmake -DPACKAGE=<deb> -DWORK_DIR=<scratch folder> -DEXAMPLE=<tests/example> -P check_deb.cmake

cmake_minimum_required(VERSION 3.20)

function(run output)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE result)
  if(NOT result EQUAL 0 OR NOT err STREQUAL "")
    message(FATAL_ERROR "${PACKAGE}: ${ARGN} failed (${result}):\n${err}")
  endif()
  set(${output} "${out}" PARENT_SCOPE)
endfunction()

set(doc ./usr/share/doc/usb-flash-detect)
set(expected ./usr/ ./usr/bin/ ./usr/bin/usb-flash-detect ./usr/share/ ./usr/share/doc/ ${doc}/
  ${doc}/LICENSE ${doc}/README.md ${doc}/changelog.gz ${doc}/copyright ./usr/share/man/
  ./usr/share/man/man1/ ./usr/share/man/man1/usb-flash-detect.1.gz)
run(listing "${CMAKE_COMMAND}" -E env LC_ALL=C dpkg-deb -c "${PACKAGE}")
string(REGEX REPLACE "[^\n]* (\\./[^\n]*)\n" "\\1;" listing "${listing}")
if(NOT listing STREQUAL "${expected};")
  message(FATAL_ERROR "${PACKAGE} holds\n  ${listing}\nand not\n  ${expected}")
endif()

run(depends dpkg-deb -f "${PACKAGE}" Depends)
if(NOT depends MATCHES "^libc6 \\(>= [0-9.]+\\), libstdc\\+\\+6 \\(>= [0-9]+\\)\n$")
  message(FATAL_ERROR "${PACKAGE} depends on \"${depends}\"")
endif()

file(REMOVE_RECURSE "${WORK_DIR}")
run(_ dpkg-deb -x "${PACKAGE}" "${WORK_DIR}")
run(_ "${CMAKE_COMMAND}" -E env MANWIDTH=80 man --warnings -l
  "${WORK_DIR}/usr/share/man/man1/usb-flash-detect.1.gz")
run(report "${CMAKE_COMMAND}" -E env WINEPREFIX=${EXAMPLE} "${WORK_DIR}/usr/bin/usb-flash-detect"
  INPUT_FILE /dev/null)
if(NOT report MATCHES "found 2 drivers")
  message(FATAL_ERROR "${PACKAGE}: the program reports\n${report}")
endif()
message(STATUS "${PACKAGE}: files, Depends, manual page and program as stated")
