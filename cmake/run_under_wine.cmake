# CTest's emulator for the Windows build's tests: runs a Windows program under Wine with its
# standard output and error passed through files, then writes them out and exits with
# failure when the program failed.
#
#   wine_env <prefix> cmake -DWINE=<wine> -DWINESERVER=<wineserver> -P run_under_wine.cmake
#            -- <program.exe> [arguments...]
#
# The first Wine program of a session starts Wine's own services, which outlive it and keep
# every handle it inherited: on a pipe, whoever reads it (CTest, or the test discovery)
# would wait for them to end. Through files nobody waits, and a server kept for 5 seconds
# after its last program spares each test a start of its own.

cmake_minimum_required(VERSION 3.20)

set(command "")
set(after_separator OFF)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(index RANGE ${last})
  if(after_separator)
    list(APPEND command "${CMAKE_ARGV${index}}")
  elseif(CMAKE_ARGV${index} STREQUAL "--")
    set(after_separator ON)
  endif()
endforeach()
if(NOT command)
  message(FATAL_ERROR "usage: cmake -DWINE=... -DWINESERVER=... -P run_under_wine.cmake -- <program> ...")
endif()

# One pair of files per command line, so that tests running side by side keep theirs.
string(SHA1 key "${command}")
set(output "${CMAKE_CURRENT_BINARY_DIR}/wine-run-${key}.out")
set(errors "${CMAKE_CURRENT_BINARY_DIR}/wine-run-${key}.err")
execute_process(COMMAND "${WINESERVER}" -p5
  INPUT_FILE /dev/null OUTPUT_FILE /dev/null ERROR_FILE /dev/null)
execute_process(COMMAND "${WINE}" ${command}
  INPUT_FILE /dev/null OUTPUT_FILE "${output}" ERROR_FILE "${errors}" RESULT_VARIABLE result)
execute_process(COMMAND "${CMAKE_COMMAND}" -E cat "${output}")
file(READ "${errors}" error_text)
file(REMOVE "${output}" "${errors}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${error_text}exit status ${result}")
endif()
