# Opens one release archive or the Debian package and checks what a person who downloads
# it gets: its name, the entries in it and their order, stripped binaries, text files with
# CR LF line ends in the Windows archive, the version resource's copyright line, what the
# binary needs from the system it runs on (the imports below the supported set on Windows,
# the C and C++ runtime versions stated in the README on Linux, the package's Depends as
# dpkg-shlibdeps computes them), and on Linux a manual page man reads without a warning
# and the program's report on the example Windows directory.
#
#   cmake -DARCHIVE=<archive> -DVERSION=<x.y.z> -DWORK_DIR=<scratch folder>
#         -DSUPPORTED=<windows_imports.txt> -P check_archive.cmake

cmake_minimum_required(VERSION 3.20)

# The C and C++ runtimes the Linux build may need at most (glibc 2.34, GCC 11's libstdc++).
set(NEWEST_GLIBC 2.34)
set(NEWEST_GLIBCXX 3.4.29)
set(COPYRIGHT "Copyright (c) 2026 The usb-flash-detect authors")

function(fail)
  string(JOIN "" text ${ARGN})
  message(FATAL_ERROR "${ARCHIVE}: ${text}")
endfunction()

function(run output)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE out RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    fail("${ARGN} failed: ${result}")
  endif()
  set(${output} "${out}" PARENT_SCOPE)
endfunction()

get_filename_component(ARCHIVE "${ARCHIVE}" ABSOLUTE)
get_filename_component(name "${ARCHIVE}" NAME)
if(name STREQUAL "usb-flash-detect_${VERSION}_amd64.deb")
  set(platform linux-x86_64)
  set(format deb)
  set(top ./usr)
elseif(name MATCHES "^usb-flash-detect-${VERSION}-(windows-x86_64|windows-x86|linux-x86_64)\\.(zip|tar\\.gz)$")
  set(platform "${CMAKE_MATCH_1}")
  set(format "${CMAKE_MATCH_2}")
  set(top "usb-flash-detect-${VERSION}-${platform}")
else()
  fail("not a release archive's name")
endif()
if(platform MATCHES "^windows")
  if(NOT format STREQUAL "zip")
    fail("a Windows archive is a .zip")
  endif()
  set(binary "${top}/usb-flash-detect.exe")
  set(expected "${top}/" "${top}/LICENSE.txt" "${top}/README.txt" "${binary}")
  set(objdump x86_64-w64-mingw32-objdump)
else()
  set(doc "${top}/share/doc/usb-flash-detect")
  set(binary "${top}/bin/usb-flash-detect")
  set(debian "")
  if(format STREQUAL "deb")
    set(debian "${doc}/changelog.gz" "${doc}/copyright")
  endif()
  set(manual "${top}/share/man/man1/usb-flash-detect.1.gz")
  set(expected "${top}/" "${top}/bin/" "${binary}" "${top}/share/" "${top}/share/doc/"
    "${doc}/" "${doc}/LICENSE" "${doc}/README.md" ${debian} "${top}/share/man/"
    "${top}/share/man/man1/" "${manual}")
  set(objdump objdump)
endif()

# The entries, in the order they are stored: a Debian package's are its tar archive's.
set(tar "${ARCHIVE}")
if(format STREQUAL "deb")
  set(tar "${WORK_DIR}.tar")
  execute_process(COMMAND dpkg-deb --fsys-tarfile "${ARCHIVE}" OUTPUT_FILE "${tar}"
    COMMAND_ERROR_IS_FATAL ANY)
endif()
run(listing "${CMAKE_COMMAND}" -E tar tf "${tar}")
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" listing "${listing}")
if(NOT listing STREQUAL expected)
  string(REPLACE ";" "\n  " listing "${listing}")
  string(REPLACE ";" "\n  " expected "${expected}")
  fail("holds\n  ${listing}\nand not, in this order,\n  ${expected}")
endif()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
run(_ "${CMAKE_COMMAND}" -E chdir "${WORK_DIR}" "${CMAKE_COMMAND}" -E tar xf "${tar}")

# Stripped: no debug information and no symbol table.
run(sections "${objdump}" -h "${WORK_DIR}/${binary}")
if(sections MATCHES "\\.debug")
  fail("${binary} carries debug information")
endif()
run(symbols "${objdump}" -t "${WORK_DIR}/${binary}")
if(NOT symbols MATCHES "no symbols")
  fail("${binary} carries a symbol table")
endif()

if(platform MATCHES "^windows")
  foreach(text README.txt LICENSE.txt)
    file(READ "${WORK_DIR}/${top}/${text}" bytes HEX)
    # Every line ends in CR LF: no LF without its CR, no CR without its LF, and one at
    # the end.
    string(REGEX MATCHALL ".." pairs "${bytes}")
    string(REPLACE "0d;0a" "" pairs "${pairs}")
    if("0a" IN_LIST pairs OR "0d" IN_LIST pairs OR NOT bytes MATCHES "0d0a$")
      fail("${text} has a line not ended by CR LF")
    endif()
  endforeach()
  # No link time: the PE header's TimeDateStamp, 8 bytes past the offset at 0x3C, is 0.
  file(READ "${WORK_DIR}/${binary}" exe HEX)
  string(SUBSTRING "${exe}" 120 8 offset)
  string(REGEX REPLACE "(..)(..)(..)(..)" "0x\\4\\3\\2\\1" offset "${offset}")
  math(EXPR stamp_at "(${offset} + 8) * 2")
  string(SUBSTRING "${exe}" ${stamp_at} 8 stamp)
  if(NOT stamp STREQUAL "00000000")
    fail("${binary} carries a link time (${stamp})")
  endif()
  # The version resource's strings are UTF-16.
  string(HEX "${COPYRIGHT}" wanted)
  string(REGEX REPLACE "(..)" "\\100" wanted "${wanted}")
  string(FIND "${exe}" "${wanted}" at)
  if(at EQUAL -1)
    fail("the version resource has no line \"${COPYRIGHT}\"")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -DEXE=${WORK_DIR}/${binary} -DOBJDUMP=${objdump}
      -DSUPPORTED=${SUPPORTED} -P "${CMAKE_CURRENT_LIST_DIR}/check_imports.cmake"
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    fail("the executable imports functions outside the supported set")
  endif()
else()
  run(headers "${objdump}" -p -T "${WORK_DIR}/${binary}")
  string(REGEX MATCHALL "NEEDED +[^\n]+" needed "${headers}")
  list(TRANSFORM needed REPLACE "NEEDED +" "")
  list(REMOVE_ITEM needed libc.so.6 libstdc++.so.6 libm.so.6 libgcc_s.so.1)
  if(needed)
    fail("the binary needs libraries beyond the C and C++ runtimes: ${needed}")
  endif()
  foreach(runtime GLIBC GLIBCXX)
    string(REGEX MATCHALL "\\(${runtime}_[0-9.]+\\)" versions "${headers}")
    foreach(version IN LISTS versions)
      string(REGEX REPLACE "^\\(${runtime}_(.*)\\)$" "\\1" version "${version}")
      if(version VERSION_GREATER NEWEST_${runtime})
        fail("the binary needs ${runtime} ${version}; the README states ${NEWEST_${runtime}}")
      endif()
    endforeach()
  endforeach()
  if(format STREQUAL "deb")
    run(depends dpkg-deb -f "${ARCHIVE}" Depends)
    if(NOT depends MATCHES "^libc6 \\(>= [0-9.]+\\), libstdc\\+\\+6 ")
      fail("Depends is \"${depends}\", not what the binary needs")
    endif()
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E env MANWIDTH=80 man --warnings -l
    "${WORK_DIR}/${manual}" OUTPUT_QUIET ERROR_VARIABLE warnings RESULT_VARIABLE result)
  if(result OR NOT warnings STREQUAL "")
    fail("man -l ${manual}: ${warnings}")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E env WINEPREFIX=${CMAKE_CURRENT_LIST_DIR}/../example
    "${WORK_DIR}/${binary}" INPUT_FILE /dev/null OUTPUT_VARIABLE report RESULT_VARIABLE result)
  if(NOT result EQUAL 0 OR NOT report MATCHES "found 2 drivers")
    fail("the program on tests/example exits ${result}:\n${report}")
  endif()
endif()
message(STATUS "${name}: names, entries, stripped binary and system needs as stated")
