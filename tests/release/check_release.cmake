# Builds the release archives of the commit checked out twice, from two clones at different
# paths, and checks that both give the same bytes (the same SHA256SUMS), then opens each
# archive and the Debian package with check_archive.cmake.
#
#   cmake [-DWORK_DIR=<scratch folder>] -P tests/release/check_release.cmake
#
# It needs what the release workflows need: CMake, the native compiler, MinGW-w64 for both
# architectures, Python 3, git, dpkg-dev and man-db. Uncommitted changes are not in the
# clones.

cmake_minimum_required(VERSION 3.25)

get_filename_component(SOURCE_DIR "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
if(NOT DEFINED WORK_DIR)
  set(WORK_DIR "${SOURCE_DIR}/build/release-check")
endif()
set(WORKFLOWS release release-windows release-windows-x86)

execute_process(COMMAND git -C "${SOURCE_DIR}" status --porcelain --untracked-files=no
  OUTPUT_VARIABLE changes)
if(NOT changes STREQUAL "")
  message(WARNING "uncommitted changes are left out: the clones hold the last commit")
endif()

# Two clones whose paths differ in length and name, so that no path can leak into a binary
# unnoticed.
set(clones "${WORK_DIR}/first/usb-flash-detect" "${WORK_DIR}/second-build/checkout")
foreach(clone IN LISTS clones)
  file(REMOVE_RECURSE "${clone}")
  execute_process(COMMAND git clone --quiet "${SOURCE_DIR}" "${clone}" RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "git clone into ${clone} failed: ${result}")
  endif()
  file(MAKE_DIRECTORY "${clone}/build")
  foreach(workflow IN LISTS WORKFLOWS)
    string(TIMESTAMP started "%s")
    execute_process(COMMAND "${CMAKE_COMMAND}" --workflow --preset ${workflow}
      WORKING_DIRECTORY "${clone}" OUTPUT_FILE "${clone}/build/${workflow}.log"
      ERROR_FILE "${clone}/build/${workflow}.log" RESULT_VARIABLE result)
    string(TIMESTAMP ended "%s")
    math(EXPR seconds "${ended} - ${started}")
    message(STATUS "${clone}: ${workflow} in ${seconds} s")
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "${workflow} failed in ${clone}: see ${clone}/build/${workflow}.log")
    endif()
  endforeach()
endforeach()

list(GET clones 0 first)
list(GET clones 1 second)
file(READ "${first}/build/dist/SHA256SUMS" first_sums)
file(READ "${second}/build/dist/SHA256SUMS" second_sums)
message(STATUS "SHA256SUMS of ${first}:\n${first_sums}")
if(NOT first_sums STREQUAL second_sums)
  message(FATAL_ERROR "two builds of one commit differ; SHA256SUMS of ${second}:\n${second_sums}")
endif()
message(STATUS "the second build gave the same bytes")

execute_process(COMMAND git -C "${SOURCE_DIR}" show HEAD:CMakeLists.txt OUTPUT_VARIABLE top)
string(REGEX MATCH "project\\(usb_flash_detect VERSION ([0-9.]+)" _ "${top}")
set(version "${CMAKE_MATCH_1}")
string(REGEX MATCHALL "usb-flash-detect[-_][^\n]+" archives "${first_sums}")
list(LENGTH archives count)
if(NOT count EQUAL 4)
  message(FATAL_ERROR "SHA256SUMS lists ${count} archives and packages, not 4")
endif()
foreach(archive IN LISTS archives)
  execute_process(COMMAND "${CMAKE_COMMAND}" -DARCHIVE=${first}/build/dist/${archive}
      -DVERSION=${version} -DWORK_DIR=${WORK_DIR}/opened/${archive}
      -DSUPPORTED=${CMAKE_CURRENT_LIST_DIR}/windows_imports.txt
      -P "${CMAKE_CURRENT_LIST_DIR}/check_archive.cmake"
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${archive} fails its check")
  endif()
endforeach()
